#pragma once

#include "sim/device.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// One device of a bench setup: its name on the bench, its kind and the kind's options.
struct DeviceConfig {
    std::string Name;
    std::string Kind;
    std::map<std::string, std::string> Options;

    // The option's value, or fallback when the setup does not give it.
    std::string Option(const std::string &key, const std::string &fallback = {}) const;
    // The option as a decimal integer; throws std::runtime_error on bad text.
    int IntOption(const std::string &key, int fallback) const;
    // "on"/"off", "1"/"0", "yes"/"no"; throws std::runtime_error on other text.
    bool BoolOption(const std::string &key, bool fallback) const;
};

// Builds a device from its setup entry; throws std::runtime_error on bad options.
using DeviceFactory = std::function<std::unique_ptr<Device>(const DeviceConfig &config)>;

// The kinds of device a bench setup may name.
class DeviceRegistry {
public:
    // A second registration of a kind replaces the first.
    void Register(const std::string &kind, std::string summary, DeviceFactory factory);
    // Throws std::runtime_error for an unknown kind.
    std::unique_ptr<Device> Create(const DeviceConfig &config) const;
    bool Contains(const std::string &kind) const { return FKinds.count(kind) != 0; }
    // Kind names with their one-line summaries, sorted by name.
    std::vector<std::pair<std::string, std::string>> Kinds() const;

private:
    struct Entry {
        std::string Summary;
        DeviceFactory Factory;
    };
    std::map<std::string, Entry> FKinds;
};

// Every device kind the bench program knows (see devicekinds.cpp).
void RegisterDeviceKinds(DeviceRegistry &registry);

// A registry with all of them.
const DeviceRegistry &DefaultRegistry();

} // namespace sim
