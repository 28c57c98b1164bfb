#include "driver/modeltable.h"

#include <algorithm>
#include <utility>

namespace devproto {

namespace {

constexpr std::uint64_t Bit(int n) {
    return std::uint64_t{1} << n;
}

constexpr std::uint64_t ReceiptPrinter = Bit(cap::ReceiptRollSensor) |
                                         Bit(cap::ReceiptOpticalSensor) |
                                         Bit(cap::ReceiptLeverSensor) | Bit(cap::NonFiscal);
constexpr std::uint64_t JournalPrinter = Bit(cap::JournalRollSensor) |
                                         Bit(cap::JournalOpticalSensor) |
                                         Bit(cap::JournalLeverSensor) | Bit(cap::Journal);
constexpr std::uint64_t Cover = Bit(cap::CoverSensor);
constexpr std::uint64_t Cutter = Bit(cap::Cutter);
constexpr std::uint64_t Drawer = Bit(cap::DrawerSensor);
constexpr std::uint64_t Eklz = Bit(cap::Eklz);
constexpr std::uint64_t Slip =
    Bit(cap::SlipUpperSensor) | Bit(cap::SlipLowerSensor) | Bit(cap::Slip);
constexpr std::uint64_t Presenter = Bit(cap::Presenter) | Bit(cap::PresenterInSensor) |
                                    Bit(cap::PresenterOutSensor) |
                                    Bit(cap::DrawerAsPresenterSensor);

// Model number, capabilities, font 1/2 widths, wireless table, vertical receipt sensor,
// fiscal drive, real numbers of tables 18 and 19.
const std::vector<TBuiltInModel> Models = {
    {22, JournalPrinter | ReceiptPrinter | Cover | Slip | Eklz, 40, 20, 0, false, false, 18, 19},
    {23, JournalPrinter | ReceiptPrinter | Cover | Drawer | Eklz, 36, 18, 0, false, false, 18, 19},
    {24, ReceiptPrinter | Cover | Cutter | Drawer | Eklz, 48, 24, 0, false, false, 18, 19},
    {25, ReceiptPrinter | Cutter | Presenter | Eklz, 48, 24, 0, false, false, 18, 19},
    {26, ReceiptPrinter | Cover | Cutter | Drawer | Eklz, 48, 24, 0, true, false, 18, 19},
    {51, ReceiptPrinter | Cover | Eklz, 32, 16, 0, false, false, 18, 19},
    {52, ReceiptPrinter | Cover | Cutter | Drawer | Eklz | Bit(cap::LinePrintFlags), 48, 24, 0,
     false, false, 18, 19},
    {53, ReceiptPrinter | Cover | Cutter | Eklz | Bit(cap::TaxKeypad), 48, 24, 0, false, false, 18,
     19},
    {30, ReceiptPrinter | Cover | Cutter | Drawer, 48, 24, 0, false, false, 18, 19},
    {31, ReceiptPrinter | Cover | Cutter, 42, 21, 0, false, false, 18, 19},
    {255, ReceiptPrinter | Cover | Cutter, 48, 24, 0, false, true, 18, 19},
    {45, 0, 0, 0, 21, false, true, 18, 19},
    {16, ReceiptPrinter | Cover | Cutter | Drawer | Bit(cap::LinePrintFlags), 48, 24, 21, false,
     true, 17, 20},
    {46, Bit(cap::ReceiptRollSensor) | Cover | Cutter | Bit(cap::NonFiscal), 32, 16, 21, false,
     true, 18, 19},
};

// Parameters that F7h carries as a capability bit.
const std::pair<int, int> BitParams[] = {
    {1, cap::JournalRollSensor},    {2, cap::JournalOpticalSensor},
    {3, cap::JournalLeverSensor},   {4, cap::ReceiptRollSensor},
    {5, cap::ReceiptOpticalSensor}, {6, cap::ReceiptLeverSensor},
    {7, cap::SlipUpperSensor},      {8, cap::SlipLowerSensor},
    {9, cap::CoverSensor},          {13, cap::DrawerAsPresenterSensor},
    {14, cap::DrawerSensor},        {15, cap::PresenterInSensor},
    {16, cap::PresenterOutSensor},  {18, cap::Presenter},
    {19, cap::BillAcceptor},        {20, cap::Slip},
    {21, cap::NonFiscal},           {22, cap::Journal},
    {23, cap::TaxKeypad},           {35, cap::Cutter},
};

void AddCapabilities(TModelParams &params, const TModelCapabilities &caps) {
    for (const auto &[number, bit] : BitParams)
        params[number] = caps.Has(bit) ? 1 : 0;
    params[24] = static_cast<int>(caps.Font1Width);
    params[25] = static_cast<int>(caps.Font2Width);
    params[43] = static_cast<int>(caps.WirelessTable);
}

} // namespace

const std::vector<TBuiltInModel> &BuiltInModels() {
    return Models;
}

const TBuiltInModel *FindBuiltInModel(unsigned model) {
    const auto found = std::find_if(Models.begin(), Models.end(),
                                    [model](const TBuiltInModel &m) { return m.Model == model; });
    return found == Models.end() ? nullptr : &*found;
}

TModelParams BuildModelParams(const TBuiltInModel *builtIn,
                              const std::optional<TModelCapabilities> &device) {
    TModelParams params;
    if (builtIn) {
        TModelCapabilities caps;
        caps.Bits = builtIn->Capabilities;
        caps.Font1Width = builtIn->Font1Width;
        caps.Font2Width = builtIn->Font2Width;
        caps.WirelessTable = builtIn->WirelessTable;
        AddCapabilities(params, caps);
        params[56] = builtIn->VerticalReceiptSensor ? 1 : 0;
        params[param::FiscalDrive] = builtIn->FiscalDrive ? 1 : 0;
        params[param::SerialTable] = static_cast<int>(builtIn->SerialTable);
        params[param::Table19] = static_cast<int>(builtIn->Table19);
    }
    if (device)
        AddCapabilities(params, *device);
    return params;
}

} // namespace devproto
