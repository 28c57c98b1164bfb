#include "sim/linksession.h"

#include "serial/linkframe.h"

namespace sim {

LinkSession::LinkSession(CommandHandler handler, std::chrono::milliseconds byteTimeout)
    : FHandler(std::move(handler))
    , FByteTimeout(byteTimeout) {}

namespace {

constexpr std::pair<const char *, LinkSession::Fault> faultNames[] = {
    {"none", LinkSession::Fault::None},         {"nak", LinkSession::Fault::NakFrames},
    {"badlrc", LinkSession::Fault::BadLrc},     {"silent", LinkSession::Fault::Silent},
    {"short", LinkSession::Fault::ShortAnswer}, {"noise", LinkSession::Fault::Noise},
};

} // namespace

std::optional<LinkSession::Fault> LinkSession::FaultFromName(std::string_view name) {
    for (const auto &[text, fault] : faultNames) {
        if (name == text)
            return fault;
    }
    return std::nullopt;
}

const char *LinkSession::FaultName(Fault fault) {
    for (const auto &[text, value] : faultNames) {
        if (value == fault)
            return text;
    }
    return "none";
}

void LinkSession::Reset() {
    FFrame.clear();
    FPending.clear();
}

void LinkSession::Tick(Clock::time_point now) {
    if (!FFrame.empty() && now - FLastByte > FByteTimeout)
        FFrame.clear();
}

void LinkSession::Receive(PortLink &port, std::string_view bytes, Clock::time_point now) {
    for (const char byte : bytes) {
        Tick(now);
        FLastByte = now;
        if (FFrame.empty()) {
            ReceiveControl(port, byte);
            continue;
        }
        FFrame += byte;
        FrameComplete(port);
    }
}

void LinkSession::ReceiveControl(PortLink &port, char byte) {
    switch (byte) {
    case linkframe::STX:
        FFrame.assign(1, byte);
        break;
    case linkframe::ENQ:
        if (FFault == Fault::Silent)
            break;
        if (FFault == Fault::Noise)
            port.Send(std::string_view("\xFF\x00\xFF", 3));
        else if (FPending.empty())
            port.Send(std::string(1, linkframe::NAK));
        else
            SendAnswer(port);
        break;
    case linkframe::ACK:
        FPending.clear();
        break;
    default:
        // NAK keeps the answer for the next ENQ; anything else is line noise.
        break;
    }
}

void LinkSession::FrameComplete(PortLink &port) {
    const linkframe::ParsedFrame frame = linkframe::ParseFrame(FFrame);
    if (frame.Status == linkframe::FrameStatus::Incomplete)
        return;
    FFrame.clear();
    if (FFault == Fault::Silent)
        return;
    if (frame.Status != linkframe::FrameStatus::Valid || FFault == Fault::NakFrames) {
        port.Send(std::string(1, linkframe::NAK));
        return;
    }
    const std::string answer = FHandler(frame.Data);
    if (answer.empty()) {
        FPending.clear();
        return;
    }
    FPending = linkframe::EncodeFrame(answer);
    if (FFault == Fault::BadLrc)
        FPending.back() = static_cast<char>(FPending.back() ^ 0xFF);
    SendAnswer(port);
}

void LinkSession::SendAnswer(PortLink &port) {
    const size_t cut = FFault == Fault::ShortAnswer ? 1 : 0;
    port.Send(linkframe::ACK + FPending.substr(0, FPending.size() - cut));
}

} // namespace sim
