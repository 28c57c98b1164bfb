#pragma once

#include "sim/device.h"
#include "sim/lpc/lpcmodel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim::lpc {

// The ROM bootloader of an NXP LPC chip on one UART, byte in, byte out: autobaud handshake,
// echo, the ISP commands with their return codes, UU-coded data with checksums, the flash's
// prepare/erase rules, code read protection and the boot ROM's view of address 0.
//
// Control words (besides those of sim::Device): "reset" (power cycle: enters the bootloader
// when the ISP jumper is fitted, else runs the user code), "jumper on|off", "baud <rate>",
// "state", "flash-crc [bytes]", "flash-dump <file>", "flash-compare <hexfile>",
// "flash-erase", "traffic" (bytes received and sent since power-on), "fault <kind> [n]" with kinds
// rc <code> [times], drop-line [times], corrupt-tx, corrupt-rx, silent-after <bytes>, weak-byte
// <address>, clear.
class Bootloader : public Device {
public:
    explicit Bootloader(ChipModel Model, std::string Description = {});

    std::string Description() const override;
    int BaudRate(const PortLink &port) const override;
    void Receive(PortLink &port, std::string_view bytes) override;
    std::string Control(const std::vector<std::string> &words) override;

    const ChipModel &Model() const { return FModel; }
    const std::vector<std::uint8_t> &Flash() const { return FFlash; }
    // Power cycle; the flash keeps its contents, everything else starts afresh.
    void PowerOn();
    // Takes effect at the next power-on.
    void SetJumper(bool Fitted) { FJumper = Fitted; }
    // The rate the chip's UART runs at (the one its host synchronised at).
    void SetBaudRate(int Rate) { FBaud = Rate; }
    // "autobaud", "synchronizing", "frequency", "command", "receiving", "sending", "running",
    // "silent".
    std::string State() const;

private:
    enum class Phase {
        Autobaud,
        Synchronizing,
        Frequency,
        Command,
        Receiving,
        Sending,
        Running,
        Silent
    };

    void Byte(PortLink &Port, char C);
    void Line(PortLink &Port, const std::string &Text);
    int Command(const std::vector<std::string> &Words, std::string &After);
    // Runs what "G" started: a routine in RAM returns to the command handler, anything else
    // (user code in flash, code this core cannot run) leaves the bootloader.
    void Run(std::uint32_t Address);
    void DataLine(PortLink &Port, const std::string &Text);
    // Sends the next lines of a "R" transfer (fresh) or the last ones again, then the checksum.
    void SendGroup(PortLink &Port, bool Fresh);
    void Output(PortLink &Port, std::string Text, bool Answer);

    int Unlock(const std::vector<std::uint32_t> &Args);
    int Prepare(const std::vector<std::uint32_t> &Args);
    int Erase(const std::vector<std::uint32_t> &Args);
    int BlankCheck(const std::vector<std::uint32_t> &Args, std::string &After);
    int WriteRam(const std::vector<std::uint32_t> &Args);
    int ReadMemory(const std::vector<std::uint32_t> &Args);
    int Copy(const std::vector<std::uint32_t> &Args);
    int Compare(const std::vector<std::uint32_t> &Args, std::string &After);
    int Go(const std::vector<std::string> &Words);
    int SetBaud(const std::vector<std::uint32_t> &Args);

    int CrpLevel() const;
    bool SectorRangeValid(const std::vector<std::uint32_t> &Args) const;
    bool InFlash(std::uint32_t Address, std::uint32_t Count) const;
    bool InRam(std::uint32_t Address, std::uint32_t Count) const;
    // A byte as the bus shows it now (boot ROM window, flash, RAM); nullopt when unmapped.
    std::optional<std::uint8_t> ReadByte(std::uint32_t Address) const;
    std::string FlashCompare(const std::string &FileName) const;
    std::string Fault(const std::vector<std::string> &Words);

    ChipModel FModel;
    std::string FDescription;
    std::vector<std::uint8_t> FFlash;
    std::vector<std::uint8_t> FRam;
    bool FJumper = true;
    int FBaud = 0;

    Phase FPhase = Phase::Autobaud;
    std::string FLine;
    bool FEcho = true;
    bool FUnlocked = false;
    int FCrp = 0;
    std::uint32_t FRemap = 0;
    // Sectors prepared for the next erase or copy.
    std::vector<bool> FPrepared;

    // The data transfer of a "W" or "R" command in progress.
    std::uint32_t FTransferAddress = 0;
    std::uint32_t FTransferLeft = 0;
    std::string FGroup;
    int FGroupLines = 0;
    // What a command leaves to do once its answer is out: a new rate, a jump.
    int FNextBaud = 0;
    std::optional<std::uint32_t> FGoAddress;

    // Faults set through the control interface.
    int FFaultCode = 0;
    int FFaultTimes = 0;
    int FDropLines = 0;
    bool FCorruptTx = false;
    bool FCorruptRx = false;
    long FSilentAfter = -1;
    // A flash byte that programs wrongly at the next copy over it.
    std::optional<std::uint32_t> FWeakByte;
    std::uint64_t FBytesIn = 0;
    std::uint64_t FBytesOut = 0;
};

// A bootloader of the given part ID with its default description.
std::shared_ptr<Bootloader> MakeBootloader(std::uint32_t PartId);

} // namespace sim::lpc
