#include "tests/driver/devicepeer.h"

#include "serial/linkframe.h"

#include <stdexcept>

namespace {

class TPeerTransport : public IByteTransport {
public:
    explicit TPeerTransport(TDevicePeer &peer)
        : FPeer(peer) {}
    bool Open() override {
        FOpen = FPeer.PortOpens;
        FPeer.Opens += FOpen ? 1 : 0;
        return FOpen;
    }
    void Close() override { FOpen = false; }
    bool IsOpen() const override { return FOpen; }
    bool Write(std::string_view bytes) override {
        if (FOpen)
            FPeer.HostWrites(bytes);
        return FOpen;
    }
    std::string Read(size_t maxBytes, std::chrono::milliseconds) override {
        return FOpen ? FPeer.TakeOutput(maxBytes) : std::string();
    }
    void Purge() override { FPeer.TakeOutput(SIZE_MAX); }
    bool SetBaudRate(int rate) override {
        FPeer.LineRate = rate;
        return true;
    }

private:
    TDevicePeer &FPeer;
    bool FOpen = false;
};

const sim::fiscal::FiscalProfile &ProfileOf(const std::string &kind) {
    const auto *profile = sim::fiscal::FindFiscalProfile(kind);
    if (!profile)
        throw std::invalid_argument("unknown device kind " + kind);
    return *profile;
}

} // namespace

TDevicePeer::TDevicePeer(const std::string &kind)
    : FPrinter(ProfileOf(kind)) {}

std::unique_ptr<IByteTransport> TDevicePeer::Transport() {
    return std::make_unique<TPeerTransport>(*this);
}

std::string TDevicePeer::TakeOutput(size_t maxBytes) {
    const std::string bytes = FOutput.substr(0, maxBytes);
    FOutput.erase(0, bytes.size());
    return bytes;
}

void TDevicePeer::HostWrites(std::string_view bytes) {
    // Bytes at another rate are line noise to the device.
    if (LineRate != FPrinter.BaudRate(0))
        return;
    for (const char byte : bytes) {
        if (!FFrame.empty()) {
            FFrame += byte;
            const auto parsed = linkframe::ParseFrame(FFrame);
            if (parsed.Status != linkframe::FrameStatus::Incomplete)
                Frame();
            continue;
        }
        if (byte == linkframe::STX) {
            FFrame += byte;
        } else if (byte == linkframe::ENQ) {
            if (SilentEnq > 0) {
                --SilentEnq;
                continue;
            }
            FOutput += FPending.empty() ? std::string(1, linkframe::NAK)
                                        : std::string(1, linkframe::ACK) + Faulty(FPending);
        } else if (byte == linkframe::ACK) {
            FPending.clear();
        }
    }
}

void TDevicePeer::Frame() {
    const auto parsed = linkframe::ParseFrame(FFrame);
    FFrame.clear();
    if (parsed.Status != linkframe::FrameStatus::Valid || NakFrames > 0) {
        NakFrames -= NakFrames > 0 ? 1 : 0;
        FOutput += linkframe::NAK;
        return;
    }
    const std::string answer = FPrinter.Execute(parsed.Data);
    if (answer.empty())
        return;
    FOutput += linkframe::ACK;
    FPending = linkframe::EncodeFrame(answer);
    FOutput += Faulty(FPending);
    FPrinter.ApplyPendingBaudRate();
}

std::string TDevicePeer::Faulty(std::string frame) {
    if (BadLrcAnswers > 0) {
        --BadLrcAnswers;
        frame.back() = static_cast<char>(frame.back() ^ 0x5A);
    } else if (GarbageAnswers > 0) {
        --GarbageAnswers;
        frame.assign(frame.size(), '\x33');
    } else if (CutAnswers > 0) {
        --CutAnswers;
        frame.resize(2);
    }
    return frame;
}
