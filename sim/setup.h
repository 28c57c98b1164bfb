#pragma once

#include "sim/registry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One serial port of the bench and the device behind it.
struct PortConfig {
    std::string Name;        // "rs0", unique on the bench
    std::string Kind;        // "rs232" or "usb"
    std::string Device;      // a device name of the setup
    std::string Description; // shown in port lists; the device's own description when empty
};

// A loopback TCP endpoint of a device (port 0: any free port).
struct TcpConfig {
    std::uint16_t Port = 0;
    std::string Device;
};

// Which simulated devices the bench holds and on which ports they sit. Text form, one entry a
// line, '#' starts a comment:
//   device <name> <kind> [<option>=<value> ...]
//   port <name> rs232|usb <device> [description to the end of the line]
//   tcp <port> <device>
struct BenchSetup {
    std::vector<DeviceConfig> Devices;
    std::vector<PortConfig> Ports;
    std::vector<TcpConfig> Tcp;

    // Throws std::runtime_error naming the line of the first fault.
    static BenchSetup Parse(std::string_view text);
    static std::string_view DefaultText();
    static BenchSetup Default() { return Parse(DefaultText()); }

    const DeviceConfig *FindDevice(const std::string &name) const;
};

// The words of a line split at blanks.
std::vector<std::string> SplitWords(std::string_view line);

} // namespace sim
