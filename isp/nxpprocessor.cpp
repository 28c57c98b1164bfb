#include "isp/nxpprocessor.h"

namespace {

// Both routines set the chip's memory remap register so that address 0 shows the user flash
// instead of the boot ROM's vectors, then return to the bootloader:
//   LPC1778: ldr r0,=MEMMAP (0x400FC040); mov.w r1,#1; str r1,[r0]; bx lr
//   LPC11xx: ldr r0,=SYSMEMREMAP (0x40048000); movs r1,#2; str r1,[r0]; bx lr
const QString LPC1778Code = QStringLiteral("02484FF0010101607047000040C00F40");
const QString LPC11xxCode = QStringLiteral("014802210160704700800440");

// ISP commands use RAM up to 0x100001FF on the LPC1778 and up to 0x1000025B on the LPC11xx.
constexpr std::uint32_t LPC1778RAM = 0x10000200;
constexpr std::uint32_t LPC11xxRAM = 0x10000300;

} // namespace

const TNXPProcessorRec &LPC1778Processor() {
    static const TNXPProcessorRec Rec{30,
                                      0x7FFFF,
                                      LPC1778RAM,
                                      LPC1778Code,
                                      'T',
                                      655966023,
                                      QStringLiteral("Системная плата (NXP LPC1778)")};
    return Rec;
}

const std::vector<TNXPProcessorRec> &FiscalMemoryProcessors() {
    static const std::vector<TNXPProcessorRec> Recs{
        {4, 0x3FFF, LPC11xxRAM, LPC11xxCode, 'T', 131106,
         QStringLiteral("Фискальная память (NXP LPC1112/203)")},
        {4, 0x3FFF, LPC11xxRAM, LPC11xxCode, 'T', 623153195,
         QStringLiteral("Фискальная память (NXP LPC1112/202)")},
        {8, 0x7FFF, LPC11xxRAM, LPC11xxCode, 'T', 624955435,
         QStringLiteral("Фискальная память (NXP LPC1114/302)")},
    };
    return Recs;
}

QString ProcessorName(const QString &APartID) {
    if (APartID == QString::number(LPC1778Processor().PartID))
        return LPC1778Processor().Name;
    for (const TNXPProcessorRec &Rec : FiscalMemoryProcessors())
        if (APartID == QString::number(Rec.PartID))
            return Rec.Name;
    return QStringLiteral("Неизвестное устройство");
}
