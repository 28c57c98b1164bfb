#pragma once

// The host side of the fiscal devices' link: ENQ/ACK/NAK handshake and STX frames with
// resends and answer re-reads, over any byte transport (serial port, TCP socket).

#include "core/log.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A byte pipe to one device. Read waits at most the time-out for the first byte and returns
// what has arrived (empty: nothing in time); a failing transport reports false / empty and
// IsOpen() false afterwards.
class IByteTransport {
public:
    virtual ~IByteTransport() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Write(std::string_view bytes) = 0;
    virtual std::string Read(size_t maxBytes, std::chrono::milliseconds timeout) = 0;
    virtual void Purge() = 0;
    // The line rate; a transport without one (TCP) accepts any.
    virtual bool SetBaudRate(int rate) = 0;
};

struct TLinkSettings {
    std::chrono::milliseconds ByteTimeout{100};
    int MaxCommandSendCount = 3;
    int MaxAnswerReadCount = 3;
};

// Negative results of the link, shared with the driver's result codes.
namespace linkresult {
constexpr int NoLink = -1;
constexpr int PortUnavailable = -2;
constexpr int BadAnswer = -3;
} // namespace linkresult

class THostLink {
public:
    explicit THostLink(IByteTransport &transport);

    void SetSettings(const TLinkSettings &settings) { FSettings = settings; }
    const TLinkSettings &Settings() const { return FSettings; }

    // ENQ until the device says it is idle (NAK), draining an answer it still holds.
    int CheckLink();
    // Sends one command and reads its answer data. 0 or a negative link result.
    int Exchange(std::string_view request, std::string &answer,
                 std::chrono::milliseconds answerTimeout);

private:
    enum class Reply { Ack, Nak, Nothing, Other };
    Reply ReadControl(std::chrono::milliseconds timeout);
    std::optional<std::uint8_t> ReadByte(std::chrono::milliseconds timeout);
    // 0 with the data of a good frame; BadAnswer for a frame with a wrong LRC; NoLink when
    // the frame stops; BadAnswer when only noise came.
    int ReadFrame(std::chrono::milliseconds firstByteTimeout, std::string &data);
    bool Send(std::string_view bytes);

    IByteTransport &FTransport;
    TLinkSettings FSettings;
    std::string FInput;
    TLogger FLogger{QStringLiteral("THostLink")};
};
