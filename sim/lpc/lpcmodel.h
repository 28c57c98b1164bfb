#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim::lpc {

// What differs between the simulated chips: identity, flash geometry, RAM, the remap register
// and what the boot ROM shows at address 0 while it runs.
struct ChipModel {
    std::string Name;
    std::uint32_t PartId = 0;
    // Sector sizes in bytes, sector 0 first.
    std::vector<std::uint32_t> Sectors;
    std::uint32_t RamBase = 0x10000000;
    std::uint32_t RamSize = 0;
    // RAM the ROM's ISP handler itself uses; writes below this end are refused under CRP1.
    std::uint32_t IspRamEnd = 0;
    // MEMMAP on the LPC1778, SYSMEMREMAP on the LPC11xx, and the value that maps user flash.
    std::uint32_t RemapRegister = 0;
    std::uint32_t RemapUserFlash = 0;
    // Bytes at address 0 that read as the boot ROM's until the remap register is set.
    std::uint32_t RemapWindow = 0;
    // Cortex-M3 runs Thumb-2 instructions; the Cortex-M0 only the 16-bit set.
    bool Thumb2 = false;
    std::vector<std::uint32_t> BaudRates;
    int DefaultBaud = 0;
    int BootVersionMajor = 0;
    int BootVersionMinor = 0;

    std::uint32_t FlashSize() const;
    // The sector holding a flash address; -1 beyond the flash.
    int SectorOf(std::uint32_t Address) const;
    std::uint32_t SectorStart(int Sector) const;
};

ChipModel Lpc1778();
ChipModel Lpc1112_202();
ChipModel Lpc1112_203();
ChipModel Lpc1114_302();
// The model of a part ID; throws std::runtime_error for other IDs.
ChipModel ModelOfPartId(std::uint32_t PartId);

} // namespace sim::lpc
