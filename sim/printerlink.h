#pragma once

#include "sim/linksession.h"
#include "sim/registry.h"

#include <map>

namespace sim {

// A fiscal printer that speaks only the link layer: every command is answered with the
// protocol error code, except the switch of its fiscal memory into the bootloader (data
// FE FD 00 00 00 00), which it obeys in silence while the jumper is fitted.
//
// Options: baud (listening rate, 115200), jumper (on/off, off), error (the code, 55).
// Control: "jumper on|off", "baud <rate>", "fault none|nak|badlrc|silent|short|noise", "power",
// "state".
class PrinterLinkDevice : public Device {
public:
    explicit PrinterLinkDevice(const DeviceConfig &config);

    std::string Description() const override;
    int BaudRate(const PortLink &port) const override;
    void Receive(PortLink &port, std::string_view bytes) override;
    void Tick(Clock::time_point now) override;
    std::string Control(const std::vector<std::string> &words) override;

    bool Jumper() const { return FJumper; }
    // How many switch commands were obeyed.
    int Switches() const { return FSwitches; }

private:
    std::string Answer(std::string_view data);
    LinkSession &SessionOf(const PortLink &port);

    int FBaudRate;
    bool FJumper;
    std::uint8_t FErrorCode;
    int FSwitches = 0;
    LinkSession::Fault FFault = LinkSession::Fault::None;
    std::map<std::string, LinkSession> FSessions; // by port name
};

} // namespace sim
