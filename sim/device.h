#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// What a simulated device sees of one of its ports on the bench.
class PortLink {
public:
    virtual ~PortLink() = default;
    // Bytes the device sends to the host; the bench paces them at the port's rate.
    virtual void Send(std::string_view bytes) = 0;
    // The port's name on the bench ("rs0", "usb1"), for devices with several ports.
    virtual std::string Name() const = 0;
};

// One simulated device. The bench calls it from its own thread only; a device keeps no
// threads of its own, so its state needs no lock.
class Device {
public:
    virtual ~Device() = default;

    // Readable description for the bench's port list ("ПТК Ostrel-01: ФР").
    virtual std::string Description() const = 0;
    // The rate the device listens at on this port; bytes the host sends at any other rate
    // arrive as line noise and are dropped by the bench.
    virtual int BaudRate(const PortLink &port) const = 0;
    // Bytes from the host, received at the device's rate.
    virtual void Receive(PortLink &port, std::string_view bytes) = 0;
    // Called by the bench at least every 10 ms, for timed behaviour (printing ends, clock).
    virtual void Tick(Clock::time_point) {}
    // One command of the bench control interface addressed to this device, already split into
    // words. Returns the reply line; throws std::runtime_error with a readable text on bad input.
    virtual std::string Control(const std::vector<std::string> &words) = 0;
};

} // namespace sim
