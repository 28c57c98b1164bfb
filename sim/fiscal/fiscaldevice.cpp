#include "sim/fiscal/fiscaldevice.h"

#include "serial/linkframe.h"

#include <stdexcept>

namespace sim::fiscal {

namespace {

// A change of the line rate waits for the host's ACK of the answer, or this long.
constexpr std::chrono::milliseconds RateChangeDelay{100};

// The port as the link session sees it: answers pass the device's answer faults.
class AnswerLink : public PortLink {
public:
    AnswerLink(PortLink &port, std::function<void(PortLink &, std::string_view)> send)
        : FPort(port)
        , FSend(std::move(send)) {}
    void Send(std::string_view bytes) override { FSend(FPort, bytes); }
    std::string Name() const override { return FPort.Name(); }

private:
    PortLink &FPort;
    std::function<void(PortLink &, std::string_view)> FSend;
};

} // namespace

FiscalDevice::FiscalDevice(const FiscalProfile &profile, const FiscalDeviceOptions &options)
    : FPrinter(profile) {
    if (options.BaudRate) {
        FPrinter.Control({"baud", "0", std::to_string(*options.BaudRate)});
        FPrinter.Control({"baud", "1", std::to_string(*options.BaudRate)});
    }
    if (options.TcpPort > 0 && FPrinter.TcpPort() > 0)
        FPrinter.Control({"table", "21", "4", std::to_string(options.TcpPort)});
    FPrinter.SetJumper(options.Jumper);
}

void FiscalDevice::SetBootloader(std::shared_ptr<Device> bootloader) {
    FPrinter.SetLineRelay(nullptr);
    FRelay.reset();
    FBootloader = std::move(bootloader);
    if (FBootloader && FPrinter.Profile().Lan) {
        FRelay = std::make_unique<LineRelay>(FBootloader);
        FPrinter.SetLineRelay(FRelay.get());
    }
}

unsigned FiscalDevice::PortNumberOf(const PortLink &port) {
    const std::string name = port.Name();
    if (name.rfind("tcp", 0) == 0)
        return 128;
    return name.rfind("usb", 0) == 0 ? 1 : 0;
}

std::string FiscalDevice::Description() const {
    return FPrinter.Profile().Description;
}

int FiscalDevice::BaudRate(const PortLink &port) const {
    if (FPrinter.SwitchedToBootloader() && FBootloader)
        return FBootloader->BaudRate(port);
    return FPrinter.BaudRate(PortNumberOf(port));
}

LinkSession &FiscalDevice::SessionOf(PortLink &port) {
    auto found = FSessions.find(port.Name());
    if (found == FSessions.end()) {
        const unsigned number = PortNumberOf(port);
        found = FSessions
                    .emplace(port.Name(), LinkSession([this, number](std::string_view data) {
                                 return FPrinter.Execute(data, number);
                             }))
                    .first;
        found->second.SetFault(FLinkFault);
    }
    return found->second;
}

void FiscalDevice::SendAnswer(PortLink &port, std::string_view bytes) {
    const size_t frameAt = bytes.find(linkframe::STX);
    if (frameAt == std::string_view::npos || (FGarbageAnswers == 0 && FCutAnswers == 0)) {
        port.Send(bytes);
        return;
    }
    std::string out(bytes);
    if (FGarbageAnswers > 0) {
        --FGarbageAnswers;
        out.replace(frameAt, std::string::npos, out.size() - frameAt, '\x33');
    } else {
        --FCutAnswers;
        out.resize(std::min(out.size(), frameAt + 2));
    }
    port.Send(out);
}

void FiscalDevice::Receive(PortLink &port, std::string_view bytes) {
    if (FPrinter.SwitchedToBootloader() && FBootloader) {
        FBootloader->Receive(port, bytes);
        return;
    }
    const bool rateChangeWaiting = FRateChangeDue.has_value();
    AnswerLink link(port, [this](PortLink &p, std::string_view b) { SendAnswer(p, b); });
    SessionOf(port).Receive(link, bytes);
    // The host has taken the answer (its ACK came at the old rate): the new rate applies.
    if (rateChangeWaiting) {
        FPrinter.ApplyPendingBaudRate();
        FRateChangeDue.reset();
    } else if (FPrinter.BaudRateChangePending()) {
        FRateChangeDue = Clock::now() + RateChangeDelay;
    }
}

void FiscalDevice::Tick(Clock::time_point now) {
    for (auto &[name, session] : FSessions)
        session.Tick(now);
    if (FRateChangeDue && now >= *FRateChangeDue) {
        FPrinter.ApplyPendingBaudRate();
        FRateChangeDue.reset();
    }
    if (FPrinter.SwitchedToBootloader() && FBootloader)
        FBootloader->Tick(now);
}

std::string FiscalDevice::Control(const std::vector<std::string> &words) {
    if (!words.empty() && words[0] == "fault") {
        if (words.size() < 2)
            throw std::runtime_error("fault none|nak|badlrc|silent|garbage|cut [count]");
        const int count = words.size() > 2 ? std::stoi(words[2]) : 1;
        if (words[1] == "garbage") {
            FGarbageAnswers = count;
        } else if (words[1] == "cut") {
            FCutAnswers = count;
        } else {
            const auto fault = LinkSession::FaultFromName(words[1]);
            if (!fault)
                throw std::runtime_error("fault none|nak|badlrc|silent|garbage|cut [count]");
            FLinkFault = *fault;
            if (FLinkFault == LinkSession::Fault::None)
                FGarbageAnswers = FCutAnswers = 0;
            for (auto &[name, session] : FSessions)
                session.SetFault(FLinkFault);
        }
        return "ok";
    }
    if (!words.empty() && words[0] == "fm") {
        if (!FBootloader)
            throw std::runtime_error("this device has no fiscal memory chip");
        return FBootloader->Control({words.begin() + 1, words.end()});
    }
    if (!words.empty() && words[0] == "power") {
        for (auto &[name, session] : FSessions)
            session.Reset();
        FRateChangeDue.reset();
    }
    return FPrinter.Control(words);
}

} // namespace sim::fiscal
