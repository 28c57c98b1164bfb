// The device kinds a bench setup can name. A device library adds its kinds here.
#include "sim/fiscal/fiscaldevice.h"
#include "sim/lpc/lpcbootloader.h"
#include "sim/printerlink.h"
#include "sim/registry.h"

namespace sim {

namespace {

constexpr int Lpc1114PartId = 624955435;

// A chip of the part, powered on; with its ISP jumper fitted it waits in its bootloader.
std::unique_ptr<lpc::Bootloader> PoweredChip(int partId, bool jumper) {
    auto chip =
        std::make_unique<lpc::Bootloader>(lpc::ModelOfPartId(static_cast<std::uint32_t>(partId)));
    chip->SetJumper(jumper);
    chip->PowerOn();
    return chip;
}

// Models with a fiscal drive have no fiscal memory chip; the others carry an LPC1114/302 unless
// told otherwise. Its ISP jumper (R4) is fitted unless told otherwise, so it waits in its
// bootloader from power-on.
std::unique_ptr<lpc::Bootloader> FiscalMemoryChip(const fiscal::FiscalProfile &profile,
                                                  const DeviceConfig &config) {
    const std::string part = config.Option("fm");
    if (part == "none" || (part.empty() && profile.FiscalDrive))
        return nullptr;
    return PoweredChip(config.IntOption("fm", Lpc1114PartId), config.BoolOption("fmjumper", true));
}

} // namespace

void RegisterDeviceKinds(DeviceRegistry &registry) {
    registry.Register(
        "printer-link",
        "fiscal printer link layer: answers every command with an error code; options baud, "
        "jumper, error",
        [](const DeviceConfig &config) { return std::make_unique<PrinterLinkDevice>(config); });
    for (const fiscal::FiscalProfile &profile : fiscal::FiscalProfiles()) {
        registry.Register(profile.Kind,
                          profile.Description + " (model " + std::to_string(profile.Model) +
                              "): full fiscal device; options baud, tcpport, jumper, fm (part ID "
                              "of the fiscal memory chip, or none), fmjumper",
                          [&profile](const DeviceConfig &config) {
                              fiscal::FiscalDeviceOptions options;
                              if (!config.Option("baud").empty())
                                  options.BaudRate = config.IntOption("baud", profile.BaudRate);
                              options.TcpPort = config.IntOption("tcpport", 0);
                              options.Jumper = config.BoolOption("jumper", false);
                              auto device =
                                  std::make_unique<fiscal::FiscalDevice>(profile, options);
                              if (auto chip = FiscalMemoryChip(profile, config))
                                  device->SetBootloader(std::move(chip));
                              return device;
                          });
    }
    registry.Register("lpc-isp",
                      "NXP LPC ROM bootloader; options part (decimal part ID), baud, jumper",
                      [](const DeviceConfig &config) {
                          auto chip = PoweredChip(config.IntOption("part", 655966023),
                                                  config.BoolOption("jumper", true));
                          chip->SetBaudRate(config.IntOption("baud", chip->Model().DefaultBaud));
                          return chip;
                      });
}

} // namespace sim
