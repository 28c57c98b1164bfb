#pragma once

// The command side of a simulated fiscal device: its state as a real device keeps it and the
// answer to every command the driver sends. No link layer and no ports here: Execute takes the
// data of one command frame and returns the answer's data (empty: the device stays silent).

#include "sim/device.h"
#include "sim/fiscal/fiscalprofiles.h"
#include "sim/fiscal/linerelay.h"

#include <QDateTime>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace sim::fiscal {

class FiscalPrinter {
public:
    explicit FiscalPrinter(const FiscalProfile &profile);

    const FiscalProfile &Profile() const { return FProfile; }

    // portNumber: the device's own number of the port the command came on (0 RS-232,
    // 1 USB, 128 TCP).
    std::string Execute(std::string_view data, unsigned portNumber = 0,
                        Clock::time_point now = Clock::now());
    // Control words of the bench; throws std::runtime_error on bad input.
    std::string Control(const std::vector<std::string> &words,
                        Clock::time_point now = Clock::now());

    // The line rate of a device port and a change that waits until the answer has gone out.
    int BaudRate(unsigned portNumber) const;
    void ApplyPendingBaudRate();
    bool BaudRateChangePending() const { return FPendingBaud.has_value(); }

    // True after the fiscal-memory switch command was obeyed with the jumper fitted.
    bool SwitchedToBootloader() const { return FSwitched; }
    void SetJumper(bool fitted) { FJumper = fitted; }
    void PowerCycle();
    // The UART to the fiscal memory that F7h type 16 drives; not owned. Without one the
    // request is not supported.
    void SetLineRelay(LineRelay *relay) { FRelay = relay; }

    const std::vector<std::string> &Roll() const { return FRoll; }
    QDateTime DeviceClock(Clock::time_point now) const;
    unsigned Mode() const;
    unsigned Submode(Clock::time_point now) const;
    std::uint16_t Flags() const;
    bool ShiftOpen() const { return FShiftOpen; }
    int SessionNumber() const { return FSessionNumber; }
    // TCP port and dotted address the device's tables give, for the bench's endpoint.
    int TcpPort() const;
    std::string IpAddress() const;

private:
    struct FieldDef {
        std::string Name;
        bool Text = false;
        unsigned Size = 1;
    };
    struct TableDef {
        std::string Name;
        std::vector<FieldDef> Fields; // field n is Fields[n - 1]
    };
    using CellKey = std::tuple<unsigned, unsigned, unsigned>;

    void BuildTables();
    std::string Answer(std::uint16_t command, std::string_view data, unsigned port,
                       Clock::time_point now);
    std::string Error(std::uint16_t command, int code) const;
    std::string Ok(std::uint16_t command, std::string_view fields = {}) const;
    std::optional<unsigned> OperatorOf(std::uint32_t password) const;
    bool IsSysPassword(std::uint32_t password) const { return password == FProfile.SysPassword; }
    bool Printing(Clock::time_point now) const { return now < FPrintingUntil; }
    // Refusal of a print command, or nullopt when printing may start.
    std::optional<int> PrintRefusal() const;
    void Print(const std::string &line, Clock::time_point now, int lines = 1);
    const FieldDef *Field(unsigned table, unsigned field) const;
    std::string Cell(unsigned table, unsigned row, unsigned field) const;
    void SetCell(unsigned table, unsigned row, unsigned field, std::string value);
    std::int64_t CellInt(unsigned table, unsigned field) const;
    void SetCellInt(unsigned table, unsigned field, std::int64_t value);
    std::string FullStatus(unsigned port, Clock::time_point now) const;
    std::string ShortStatus(Clock::time_point now) const;
    std::string TableCommand(std::uint16_t command, std::string_view data);
    std::string SaleCommand(std::uint16_t command, std::string_view data, Clock::time_point now);
    unsigned FontWidth(unsigned font) const;
    std::string SetClock(std::uint16_t command, std::string_view data, Clock::time_point now);

    FiscalProfile FProfile;
    std::map<unsigned, TableDef> FTables;
    std::map<CellKey, std::string> FCells;

    // Mode and documents.
    bool FShiftOpen = false;
    bool FCheckOpen = false;
    std::uint64_t FCheckTotal = 0;
    bool FTechResetMode = false;
    bool FRamError = false;
    std::optional<QDate> FDateToConfirm;
    int FSessionNumber = 0;
    int FFreeFmRecords = 2100;
    unsigned FDocumentNumber = 0;

    // Clock: its reading at FClockSetAt; a stopped clock keeps that reading.
    QDateTime FClock;
    Clock::time_point FClockSetAt;
    bool FClockRunning = true;

    // Sensors, paper and printing.
    std::uint16_t FSensorFlags = 0;
    bool FReceiptPaper = true;
    bool FPaperRanOut = false; // active paper-out: waiting for B0h after paper is back
    Clock::time_point FPrintingUntil{};
    std::chrono::milliseconds FLineTime{2};
    std::vector<std::string> FRoll;
    unsigned FBatteryRaw = 210; // about 4.1 V
    unsigned FSupplyRaw = 108;  // 12 V

    // Identity.
    std::optional<std::uint64_t> FSerial;
    bool FEklzPresent;
    bool FDrivePresent;
    unsigned FDriveLifeState = 3;
    std::string FDriveSerial = "9999078900012345";

    // Exchange rates by device port, and the change the last 14h asked for.
    std::map<unsigned, unsigned> FBaudCodes;
    std::map<unsigned, unsigned> FTimeoutCodes;
    std::optional<std::pair<unsigned, unsigned>> FPendingBaud;

    // The fiscal-memory switch.
    bool FJumper = false;
    bool FSwitched = false;
    LineRelay *FRelay = nullptr;

    // Injected faults.
    int FBusyAnswers = 0;
    int FSilentAnswers = 0;
    struct ErrorFault {
        int Code = 0;
        int Count = 0; // < 0: until cleared
    };
    std::map<std::uint16_t, ErrorFault> FErrorFaults;
};

} // namespace sim::fiscal
