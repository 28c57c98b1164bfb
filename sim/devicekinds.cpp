// The device kinds a bench setup can name. A device library adds its kinds here.
#include "sim/lpc/lpcbootloader.h"
#include "sim/printerlink.h"
#include "sim/registry.h"

namespace sim {

void RegisterDeviceKinds(DeviceRegistry &registry) {
    registry.Register(
        "printer-link",
        "fiscal printer link layer: answers every command with an error code; options baud, "
        "jumper, error",
        [](const DeviceConfig &config) { return std::make_unique<PrinterLinkDevice>(config); });
    registry.Register(
        "lpc-isp", "NXP LPC ROM bootloader; options part (decimal part ID), baud, jumper",
        [](const DeviceConfig &config) {
            auto chip = std::make_unique<lpc::Bootloader>(
                lpc::ModelOfPartId(static_cast<std::uint32_t>(config.IntOption("part", 655966023))));
            chip->SetJumper(config.BoolOption("jumper", true));
            chip->PowerOn();
            chip->SetBaudRate(config.IntOption("baud", chip->Model().DefaultBaud));
            return chip;
        });
}

} // namespace sim
