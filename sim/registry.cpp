#include "sim/registry.h"

#include <charconv>
#include <stdexcept>

namespace sim {

std::string DeviceConfig::Option(const std::string &key, const std::string &fallback) const {
    const auto found = Options.find(key);
    return found != Options.end() ? found->second : fallback;
}

int DeviceConfig::IntOption(const std::string &key, int fallback) const {
    const auto found = Options.find(key);
    if (found == Options.end())
        return fallback;
    const std::string &text = found->second;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error(Name + ": " + key + "=" + text + " is not a number");
    return value;
}

bool DeviceConfig::BoolOption(const std::string &key, bool fallback) const {
    const auto found = Options.find(key);
    if (found == Options.end())
        return fallback;
    const std::string &text = found->second;
    if (text == "on" || text == "1" || text == "yes")
        return true;
    if (text == "off" || text == "0" || text == "no")
        return false;
    throw std::runtime_error(Name + ": " + key + "=" + text + " is not on or off");
}

void DeviceRegistry::Register(const std::string &kind, std::string summary, DeviceFactory factory) {
    FKinds[kind] = Entry{std::move(summary), std::move(factory)};
}

std::unique_ptr<Device> DeviceRegistry::Create(const DeviceConfig &config) const {
    const auto found = FKinds.find(config.Kind);
    if (found == FKinds.end())
        throw std::runtime_error("unknown device kind \"" + config.Kind + "\"");
    return found->second.Factory(config);
}

std::vector<std::pair<std::string, std::string>> DeviceRegistry::Kinds() const {
    std::vector<std::pair<std::string, std::string>> kinds;
    for (const auto &[kind, entry] : FKinds)
        kinds.emplace_back(kind, entry.Summary);
    return kinds;
}

const DeviceRegistry &DefaultRegistry() {
    static const DeviceRegistry registry = [] {
        DeviceRegistry all;
        RegisterDeviceKinds(all);
        return all;
    }();
    return registry;
}

} // namespace sim
