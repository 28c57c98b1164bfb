#pragma once

#include "sim/registry.h"
#include "sim/setup.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct BenchOptions {
    QString Folder;     // where ports and the control socket appear; empty: platform::BenchFolder()
    bool Pacing = true; // bytes to the host take 10 bit times each at the device's rate
};

// What the bench shows of one of its ports.
struct BenchPort {
    std::string Name;
    std::string Kind; // "rs232", "usb" or "tcp"
    std::string Device;
    std::string Description;
    QString Path;              // the link a host opens; empty for TCP
    std::uint16_t TcpPort = 0; // the loopback port of a TCP endpoint
    bool Plugged = true;
};

// The virtual bench: simulated devices on pseudo-terminal ports and loopback TCP endpoints,
// published in a folder with a control socket. All ports run in one thread that polls every
// port and socket; devices are only ever called from it, under the bench's lock.
//
// Folder layout: "ttyBENCH<k>" links to the pseudo-terminal of port k (removed while the port is
// unplugged), "ttyBENCH<k>.port" with name=, kind=, device= and description= lines, and
// "control", a local socket taking one command a line and answering one line each.
class Bench {
public:
    explicit Bench(BenchSetup setup, BenchOptions options = {},
                   const DeviceRegistry &registry = DefaultRegistry());
    ~Bench();
    Bench(const Bench &) = delete;
    Bench &operator=(const Bench &) = delete;

    // Creates the devices, ports and sockets and starts the thread; throws std::runtime_error.
    void Start();
    // Stops the thread and removes what Start published. Safe to call twice.
    void Stop();
    // True once a "quit" command has come in.
    bool QuitRequested() const;

    // One control command (see docs/bench.md); returns the reply line. Any thread.
    std::string Execute(std::string_view line);

    std::vector<BenchPort> Ports() const;
    // The link path of a serial port by its name ("rs0"); empty when unknown.
    QString PortPath(const std::string &name) const;
    // The loopback port of the device's first TCP endpoint; 0 when it has none.
    std::uint16_t TcpPort(const std::string &device) const;
    QString Folder() const;
    QString ControlPath() const;

    // Runs the action on a device under the bench's lock, so that tests can look at its state.
    // Throws std::runtime_error for an unknown name.
    void WithDevice(const std::string &name, const std::function<void(Device &)> &action);

private:
    struct State;
    std::unique_ptr<State> FState;
};

} // namespace sim
