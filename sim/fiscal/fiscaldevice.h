#pragma once

// A simulated fiscal device on the bench: the link layer on each of its ports in front of its
// command handler, the line rate of each port, faults of the answers, and the fiscal memory's
// bootloader that takes over the port after the switch command with the jumper fitted.

#include "sim/device.h"
#include "sim/fiscal/fiscalprinter.h"
#include "sim/linksession.h"

#include <map>
#include <memory>
#include <optional>

namespace sim::fiscal {

struct FiscalDeviceOptions {
    std::optional<int> BaudRate; // the rate of both serial ports; the model's when not given
    int TcpPort = 0;             // what table 21 reports (0: the model's default)
    bool Jumper = false;
};

class FiscalDevice : public Device {
public:
    FiscalDevice(const FiscalProfile &profile, const FiscalDeviceOptions &options = {});

    std::string Description() const override;
    int BaudRate(const PortLink &port) const override;
    void Receive(PortLink &port, std::string_view bytes) override;
    void Tick(Clock::time_point now) override;
    // "fault none|nak|badlrc|silent" for the link, "fault garbage|cut [count]" for answers,
    // "fm <words>" for the fiscal memory chip, everything else as FiscalPrinter::Control.
    std::string Control(const std::vector<std::string> &words) override;

    // The fiscal memory chip: it gets the port's bytes once it has been switched, and the
    // line relay of a model with a network interface talks to it.
    void SetBootloader(std::shared_ptr<Device> bootloader);
    FiscalPrinter &Printer() { return FPrinter; }

    // The device's own number of a bench port: 0 RS-232, 1 USB, 128 TCP.
    static unsigned PortNumberOf(const PortLink &port);

private:
    LinkSession &SessionOf(PortLink &port);
    // Sends an answer through the armed answer fault, if any.
    void SendAnswer(PortLink &port, std::string_view bytes);

    FiscalPrinter FPrinter;
    std::map<std::string, LinkSession> FSessions; // by port name
    LinkSession::Fault FLinkFault = LinkSession::Fault::None;
    int FGarbageAnswers = 0;
    int FCutAnswers = 0;
    std::optional<Clock::time_point> FRateChangeDue;
    std::shared_ptr<Device> FBootloader;
    std::unique_ptr<LineRelay> FRelay;
};

} // namespace sim::fiscal
