// The device kinds a bench setup can name. A device library adds its kinds here.
#include "sim/printerlink.h"
#include "sim/registry.h"

namespace sim {

void RegisterDeviceKinds(DeviceRegistry &registry) {
    registry.Register(
        "printer-link",
        "fiscal printer link layer: answers every command with an error code; options baud, "
        "jumper, error",
        [](const DeviceConfig &config) { return std::make_unique<PrinterLinkDevice>(config); });
}

} // namespace sim
