#include "sim/printerlink.h"

#include <stdexcept>

namespace sim {

namespace {

const std::string SwitchCommand("\xFE\xFD\x00\x00\x00\x00", 6);

int ParseRate(const std::string &text) {
    try {
        size_t used = 0;
        const int rate = std::stoi(text, &used);
        if (used == text.size() && rate > 0)
            return rate;
    } catch (const std::logic_error &) {
    }
    throw std::runtime_error("bad baud rate \"" + text + "\"");
}

} // namespace

PrinterLinkDevice::PrinterLinkDevice(const DeviceConfig &config)
    : FBaudRate(config.IntOption("baud", 115200))
    , FJumper(config.BoolOption("jumper", false))
    , FErrorCode(static_cast<std::uint8_t>(config.IntOption("error", 0x37))) {}

std::string PrinterLinkDevice::Description() const {
    return "ПТК (канал связи), " + std::to_string(FBaudRate) + " бод";
}

int PrinterLinkDevice::BaudRate(const PortLink &) const {
    return FBaudRate;
}

LinkSession &PrinterLinkDevice::SessionOf(const PortLink &port) {
    auto found = FSessions.find(port.Name());
    if (found == FSessions.end()) {
        found = FSessions
                    .emplace(port.Name(),
                             LinkSession([this](std::string_view data) { return Answer(data); }))
                    .first;
        found->second.SetFault(FFault);
    }
    return found->second;
}

void PrinterLinkDevice::Receive(PortLink &port, std::string_view bytes) {
    SessionOf(port).Receive(port, bytes);
}

void PrinterLinkDevice::Tick(Clock::time_point now) {
    for (auto &[name, session] : FSessions)
        session.Tick(now);
}

std::string PrinterLinkDevice::Answer(std::string_view data) {
    if (data == SwitchCommand && FJumper) {
        ++FSwitches;
        return {};
    }
    std::string answer;
    if (!data.empty())
        answer += data[0];
    answer += static_cast<char>(FErrorCode);
    return answer;
}

std::string PrinterLinkDevice::Control(const std::vector<std::string> &words) {
    const auto argument = [&]() -> const std::string & {
        if (words.size() != 2)
            throw std::runtime_error(words[0] + " takes one argument");
        return words[1];
    };
    if (words.empty())
        throw std::runtime_error("no command");
    const std::string &command = words[0];
    if (command == "jumper") {
        const std::string &value = argument();
        if (value != "on" && value != "off")
            throw std::runtime_error("jumper on|off");
        FJumper = value == "on";
    } else if (command == "baud") {
        FBaudRate = ParseRate(argument());
    } else if (command == "fault") {
        const std::optional<LinkSession::Fault> fault = LinkSession::FaultFromName(argument());
        if (!fault)
            throw std::runtime_error("fault none|nak|badlrc|silent|short|noise");
        FFault = *fault;
        for (auto &[name, session] : FSessions)
            session.SetFault(FFault);
    } else if (command == "power") {
        for (auto &[name, session] : FSessions)
            session.Reset();
    } else if (command == "state") {
        return "baud=" + std::to_string(FBaudRate) + " jumper=" + (FJumper ? "on" : "off") +
               " fault=" + LinkSession::FaultName(FFault) +
               " switches=" + std::to_string(FSwitches);
    } else {
        throw std::runtime_error("unknown command \"" + command +
                                 "\" (jumper, baud, fault, power, state)");
    }
    return "ok";
}

} // namespace sim
