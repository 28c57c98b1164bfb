#include "driver/hostlink.h"

#include "serial/linkframe.h"

#include <algorithm>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Some devices idle their line high; a 0xFF between frames is no answer.
constexpr std::uint8_t IdleByte = 0xFF;
// How many answers a device may still hold before it counts as babbling.
constexpr int MaxDrainedAnswers = 3;

std::chrono::milliseconds Left(Clock::time_point deadline) {
    return std::max(0ms,
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

} // namespace

THostLink::THostLink(IByteTransport &transport)
    : FTransport(transport) {}

bool THostLink::Send(std::string_view bytes) {
    FLogger.WriteTxData(bytes);
    return FTransport.Write(bytes);
}

std::optional<std::uint8_t> THostLink::ReadByte(std::chrono::milliseconds timeout) {
    if (FInput.empty()) {
        FInput = FTransport.Read(256, timeout);
        if (FInput.empty())
            return std::nullopt;
        FLogger.WriteRxData(FInput);
    }
    const auto byte = static_cast<std::uint8_t>(FInput.front());
    FInput.erase(0, 1);
    return byte;
}

THostLink::Reply THostLink::ReadControl(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto byte = ReadByte(Left(deadline));
        if (!byte)
            return Reply::Nothing;
        if (*byte == static_cast<std::uint8_t>(linkframe::ACK))
            return Reply::Ack;
        if (*byte == static_cast<std::uint8_t>(linkframe::NAK))
            return Reply::Nak;
        if (*byte != IdleByte)
            return Reply::Other;
    }
}

int THostLink::ReadFrame(std::chrono::milliseconds firstByteTimeout, std::string &data) {
    const auto deadline = Clock::now() + firstByteTimeout;
    bool noise = false;
    for (;;) {
        const auto byte = ReadByte(Left(deadline));
        if (!byte)
            return noise ? linkresult::BadAnswer : linkresult::NoLink;
        if (*byte == static_cast<std::uint8_t>(linkframe::STX))
            break;
        if (*byte != IdleByte)
            noise = true;
    }
    std::string frame(1, linkframe::STX);
    const auto length = ReadByte(FSettings.ByteTimeout);
    if (!length)
        return linkresult::NoLink;
    frame += static_cast<char>(*length);
    for (size_t i = 0; i <= *length; ++i) {
        const auto byte = ReadByte(FSettings.ByteTimeout);
        if (!byte)
            return linkresult::NoLink;
        frame += static_cast<char>(*byte);
    }
    const auto parsed = linkframe::ParseFrame(frame);
    if (parsed.Status != linkframe::FrameStatus::Valid)
        return linkresult::BadAnswer;
    data = parsed.Data;
    return 0;
}

int THostLink::CheckLink() {
    bool noise = false;
    int drained = 0;
    const int tries = std::max(1, FSettings.MaxCommandSendCount);
    for (int attempt = 0; attempt < tries;) {
        if (!FTransport.IsOpen())
            return linkresult::NoLink;
        FInput.clear();
        FTransport.Purge();
        if (!Send(std::string(1, linkframe::ENQ)))
            return linkresult::NoLink;
        switch (ReadControl(FSettings.ByteTimeout)) {
        case Reply::Nak:
            return 0;
        case Reply::Ack: {
            // An answer the host never took: read it and acknowledge it even when damaged,
            // so that the device lets it go, then ask again.
            std::string stale;
            if (ReadFrame(std::max(FSettings.ByteTimeout, 1000ms), stale) != linkresult::NoLink)
                Send(std::string(1, linkframe::ACK));
            if (++drained > MaxDrainedAnswers)
                return linkresult::BadAnswer;
            break;
        }
        case Reply::Other:
            noise = true;
            ++attempt;
            break;
        case Reply::Nothing:
            ++attempt;
            break;
        }
    }
    return noise ? linkresult::BadAnswer : linkresult::NoLink;
}

int THostLink::Exchange(std::string_view request, std::string &answer,
                        std::chrono::milliseconds answerTimeout) {
    int rc = CheckLink();
    if (rc != 0)
        return rc;
    const std::string frame = linkframe::EncodeFrame(request);
    bool accepted = false;
    for (int send = 0; send < std::max(1, FSettings.MaxCommandSendCount) && !accepted; ++send) {
        if (!Send(frame))
            return linkresult::NoLink;
        switch (ReadControl(FSettings.ByteTimeout)) {
        case Reply::Ack:
            accepted = true;
            break;
        case Reply::Nak:
            break;
        case Reply::Other:
        case Reply::Nothing:
            // The ACK may be what got lost: the device says by ENQ whether it took the command.
            if (!Send(std::string(1, linkframe::ENQ)))
                return linkresult::NoLink;
            switch (ReadControl(FSettings.ByteTimeout)) {
            case Reply::Ack:
                accepted = true;
                break;
            case Reply::Nak:
                break;
            case Reply::Other:
                return linkresult::BadAnswer;
            case Reply::Nothing:
                return linkresult::NoLink;
            }
            break;
        }
    }
    if (!accepted)
        return linkresult::NoLink;
    const auto waitAnswer = std::max(answerTimeout, FSettings.ByteTimeout);
    for (int read = 0; read < std::max(1, FSettings.MaxAnswerReadCount); ++read) {
        rc = ReadFrame(waitAnswer, answer);
        if (rc == 0) {
            Send(std::string(1, linkframe::ACK));
            return 0;
        }
        if (rc == linkresult::NoLink)
            return rc;
        // A damaged answer: NAK it and ask for it again.
        FInput.clear();
        Send(std::string(1, linkframe::NAK));
        if (!Send(std::string(1, linkframe::ENQ)))
            return linkresult::NoLink;
        if (ReadControl(FSettings.ByteTimeout) != Reply::Ack)
            return linkresult::BadAnswer;
    }
    return linkresult::BadAnswer;
}
