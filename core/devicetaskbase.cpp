#include "core/devicetaskbase.h"

#include <map>

namespace {

std::map<TDeviceTaskClass, TDeviceTaskFactory> &Factories() {
    static std::map<TDeviceTaskClass, TDeviceTaskFactory> factories;
    return factories;
}

} // namespace

void RegisterDeviceTaskClass(TDeviceTaskClass AClass, TDeviceTaskFactory AFactory) {
    Factories()[AClass] = std::move(AFactory);
}

const TDeviceTaskFactory *FindDeviceTaskFactory(TDeviceTaskClass AClass) {
    const auto found = Factories().find(AClass);
    return found == Factories().end() ? nullptr : &found->second;
}
