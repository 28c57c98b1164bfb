#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// One row of the processor table: what the ISP operations need to know of a chip.
struct TNXPProcessorRec {
    int SectorCount = 0;
    // Highest flash address (size - 1).
    int FlashSize = 0;
    // RAM buffer of the writes; load and start address of the preparation routine.
    std::uint32_t FirstRAMAddress = 0;
    // The preparation routine as hex text, two digits a byte.
    QString RunCode;
    char RunMode = 'T';
    std::int64_t PartID = 0;
    QString Name;
};

// One accepted processor type of an ISP device.
class TNXPProcessor {
public:
    explicit TNXPProcessor(const TNXPProcessorRec &AProcessorRec)
        : FProcessorRec(AProcessorRec) {}
    const TNXPProcessorRec &Rec() const { return FProcessorRec; }

private:
    TNXPProcessorRec FProcessorRec;
};

// The main board's processor.
const TNXPProcessorRec &LPC1778Processor();
// The fiscal memory's processors, in the order they are tried.
const std::vector<TNXPProcessorRec> &FiscalMemoryProcessors();
// The display name of a part ID given as decimal text; "Неизвестное устройство" when unknown.
QString ProcessorName(const QString &APartID);
