#include "sim/setup.h"

#include <charconv>
#include <set>
#include <stdexcept>

namespace sim {

namespace {

constexpr std::string_view defaultText =
    R"(# The default bench: a fiscal printer on an RS-232 and a USB port.
device printer1 printer-link baud=115200
port rs0 rs232 printer1 ПТК, RS-232
port usb0 usb printer1 ПТК, USB
# A main board whose LPC1778 sits in its bootloader (ISP jumper fitted).
device board1 lpc-isp part=655966023
port rs1 rs232 board1 Системная плата, RS-232 (ISP)
# A fiscal printer with a network interface (jumper fitted): the switch command over USB hands
# the port to its fiscal memory's bootloader, and the network reaches that bootloader through
# the line relay.
device ptk2 fiscal-tm40k jumper=on fm=624955435
port usb1 usb ptk2 TENGRA M40К, USB
tcp 12345 ptk2
)";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The rest of the line after the first count words, without leading blanks.
std::string_view RestAfterWords(std::string_view line, size_t count) {
    size_t at = 0;
    for (size_t word = 0; word < count; ++word) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
    }
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    std::string_view rest = line.substr(at);
    while (!rest.empty() && IsBlank(rest.back()))
        rest.remove_suffix(1);
    return rest;
}

} // namespace

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        if (at > start)
            words.emplace_back(line.substr(start, at - start));
    }
    return words;
}

std::string_view BenchSetup::DefaultText() {
    return defaultText;
}

const DeviceConfig *BenchSetup::FindDevice(const std::string &name) const {
    for (const DeviceConfig &device : Devices) {
        if (device.Name == name)
            return &device;
    }
    return nullptr;
}

BenchSetup BenchSetup::Parse(std::string_view text) {
    BenchSetup setup;
    std::set<std::string> portNames;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty())
            continue;
        const auto fail = [&](const std::string &why) {
            throw std::runtime_error("line " + std::to_string(number) + ": " + why);
        };
        const auto knownDevice = [&](const std::string &name) {
            if (setup.FindDevice(name) == nullptr)
                fail("no device \"" + name + "\" above this line");
        };
        if (words[0] == "device") {
            if (words.size() < 3)
                fail("device <name> <kind> [option=value ...]");
            if (setup.FindDevice(words[1]) != nullptr)
                fail("device \"" + words[1] + "\" given twice");
            DeviceConfig device{words[1], words[2], {}};
            for (size_t i = 3; i < words.size(); ++i) {
                const size_t equals = words[i].find('=');
                if (equals == std::string::npos || equals == 0)
                    fail("option \"" + words[i] + "\" is not name=value");
                device.Options[words[i].substr(0, equals)] = words[i].substr(equals + 1);
            }
            setup.Devices.push_back(std::move(device));
        } else if (words[0] == "port") {
            if (words.size() < 4)
                fail("port <name> rs232|usb <device> [description]");
            if (words[2] != "rs232" && words[2] != "usb")
                fail("port kind \"" + words[2] + "\" is neither rs232 nor usb");
            if (!portNames.insert(words[1]).second)
                fail("port \"" + words[1] + "\" given twice");
            knownDevice(words[3]);
            setup.Ports.push_back(
                {words[1], words[2], words[3], std::string(RestAfterWords(line, 4))});
        } else if (words[0] == "tcp") {
            unsigned port = 0;
            const std::string &value = words.size() == 3 ? words[1] : std::string();
            const auto [ptr, error] =
                std::from_chars(value.data(), value.data() + value.size(), port);
            if (words.size() != 3 || error != std::errc() || ptr != value.data() + value.size() ||
                port > 65535)
                fail("tcp <port> <device>");
            knownDevice(words[2]);
            setup.Tcp.push_back({static_cast<std::uint16_t>(port), words[2]});
        } else {
            fail("unknown entry \"" + words[0] + "\" (device, port, tcp)");
        }
    }
    return setup;
}

} // namespace sim
