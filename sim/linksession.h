#pragma once

#include "sim/device.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// The device side of the fiscal link layer on one port: ENQ is answered with NAK when idle and
// with ACK plus the held answer when one is waiting, a frame with a good LRC is acknowledged
// and handed to the command handler, a bad one gets NAK, the host's ACK releases the answer and
// its NAK keeps it for the next ENQ. Bytes outside a frame that mean nothing are ignored, and a
// frame whose bytes stop coming for longer than the byte time-out is dropped.
class LinkSession {
public:
    // Takes the data of one command frame and returns the answer's data. An empty answer means
    // the device stays silent: no ACK and no answer, as a device that has left the link.
    using CommandHandler = std::function<std::string(std::string_view data)>;

    // Faults the device shows until told otherwise.
    enum class Fault {
        None,
        NakFrames,   // every command frame is refused with NAK
        BadLrc,      // every answer goes out with a wrong check byte
        Silent,      // nothing is answered at all
        ShortAnswer, // answers lose their last byte (the check byte) on the way
        Noise,       // ENQ is answered with bytes that mean nothing
    };

    explicit LinkSession(CommandHandler handler,
                         std::chrono::milliseconds byteTimeout = std::chrono::milliseconds{100});

    void Receive(PortLink &port, std::string_view bytes, Clock::time_point now = Clock::now());
    void Tick(Clock::time_point now);
    // Forgets a partial frame and a held answer, as a power cycle does.
    void Reset();

    bool HasPendingAnswer() const { return !FPending.empty(); }
    Fault CurrentFault() const { return FFault; }
    void SetFault(Fault fault) { FFault = fault; }
    // The faults' names in the control interface: "none", "nak", "badlrc", "silent",
    // "short", "noise".
    static std::optional<Fault> FaultFromName(std::string_view name);
    static const char *FaultName(Fault fault);

private:
    void ReceiveControl(PortLink &port, char byte);
    void FrameComplete(PortLink &port);
    void SendAnswer(PortLink &port);

    CommandHandler FHandler;
    std::chrono::milliseconds FByteTimeout;
    std::string FFrame; // bytes of a frame being received, from its STX
    Clock::time_point FLastByte;
    std::string FPending; // the whole answer frame the host has not acknowledged yet
    Fault FFault = Fault::None;
};

} // namespace sim
