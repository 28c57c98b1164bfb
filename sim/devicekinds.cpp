// The device kinds a bench setup can name. A device library adds its kinds here.
#include "sim/fiscal/fiscaldevice.h"
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
    for (const fiscal::FiscalProfile &profile : fiscal::FiscalProfiles()) {
        registry.Register(profile.Kind,
                          profile.Description + " (model " + std::to_string(profile.Model) +
                              "): full fiscal device; options baud, tcpport, jumper",
                          [&profile](const DeviceConfig &config) {
                              fiscal::FiscalDeviceOptions options;
                              if (!config.Option("baud").empty())
                                  options.BaudRate = config.IntOption("baud", profile.BaudRate);
                              options.TcpPort = config.IntOption("tcpport", 0);
                              options.Jumper = config.BoolOption("jumper", false);
                              return std::make_unique<fiscal::FiscalDevice>(profile, options);
                          });
    }
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
