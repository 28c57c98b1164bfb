#include "sim/lpc/lpcmodel.h"

#include <stdexcept>

namespace sim::lpc {

std::uint32_t ChipModel::FlashSize() const {
    std::uint32_t Size = 0;
    for (std::uint32_t S : Sectors)
        Size += S;
    return Size;
}

int ChipModel::SectorOf(std::uint32_t Address) const {
    std::uint32_t Start = 0;
    for (std::size_t i = 0; i < Sectors.size(); ++i) {
        if (Address < Start + Sectors[i])
            return static_cast<int>(i);
        Start += Sectors[i];
    }
    return -1;
}

std::uint32_t ChipModel::SectorStart(int Sector) const {
    std::uint32_t Start = 0;
    for (int i = 0; i < Sector; ++i)
        Start += Sectors[static_cast<std::size_t>(i)];
    return Start;
}

ChipModel Lpc1778() {
    ChipModel M;
    M.Name = "LPC1778";
    M.PartId = 0x27193F47;
    M.Sectors.assign(16, 4096);
    M.Sectors.insert(M.Sectors.end(), 14, 32768);
    M.RamSize = 64 * 1024;
    M.IspRamEnd = 0x10000200;
    M.RemapRegister = 0x400FC040;
    M.RemapUserFlash = 1;
    M.RemapWindow = 64;
    M.Thumb2 = true;
    M.BaudRates = {9600, 19200, 38400, 57600, 115200, 230400};
    M.DefaultBaud = 57600;
    M.BootVersionMajor = 5;
    M.BootVersionMinor = 2;
    return M;
}

namespace {

ChipModel Lpc11xx(std::string Name, std::uint32_t PartId, int SectorCount, std::uint32_t Ram) {
    ChipModel M;
    M.Name = std::move(Name);
    M.PartId = PartId;
    M.Sectors.assign(static_cast<std::size_t>(SectorCount), 4096);
    M.RamSize = Ram;
    M.IspRamEnd = 0x10000300;
    M.RemapRegister = 0x40048000;
    M.RemapUserFlash = 2;
    M.RemapWindow = 512;
    M.BaudRates = {9600, 19200, 38400, 57600, 115200};
    M.DefaultBaud = 115200;
    M.BootVersionMajor = 7;
    M.BootVersionMinor = 1;
    return M;
}

} // namespace

ChipModel Lpc1112_202() {
    return Lpc11xx("LPC1112/202", 0x2524902B, 4, 4096);
}

ChipModel Lpc1112_203() {
    return Lpc11xx("LPC1112/203", 0x00020022, 4, 4096);
}

ChipModel Lpc1114_302() {
    return Lpc11xx("LPC1114/302", 0x2540102B, 8, 8192);
}

ChipModel ModelOfPartId(std::uint32_t PartId) {
    for (ChipModel M : {Lpc1778(), Lpc1112_202(), Lpc1112_203(), Lpc1114_302()})
        if (M.PartId == PartId)
            return M;
    throw std::runtime_error("unknown LPC part ID " + std::to_string(PartId));
}

} // namespace sim::lpc
