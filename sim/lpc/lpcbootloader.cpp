#include "sim/lpc/lpcbootloader.h"

#include "sim/lpc/heximage.h"
#include "sim/lpc/thumb.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace sim::lpc {

namespace {

constexpr std::uint32_t UnlockCode = 23130;
constexpr std::size_t LinesPerChecksum = 20;
constexpr std::size_t BytesPerLine = 45;
constexpr std::size_t MaxCommandLine = 256;
constexpr char Escape = 0x1B;
constexpr std::uint32_t CrpWordAddress = 0x2FC;
constexpr std::uint32_t BootRomBase = 0x1FFF0000;
constexpr std::uint32_t BootRomSize = 0x4000;

enum Rc {
    CmdSuccess = 0,
    InvalidCommand = 1,
    SrcAddrError = 2,
    DstAddrError = 3,
    SrcAddrNotMapped = 4,
    DstAddrNotMapped = 5,
    CountError = 6,
    InvalidSector = 7,
    SectorNotBlank = 8,
    SectorNotPrepared = 9,
    CompareError = 10,
    ParamError = 12,
    AddrError = 13,
    AddrNotMapped = 14,
    CmdLocked = 15,
    InvalidCode = 16,
    InvalidBaudRate = 17,
    InvalidStopBit = 18,
    CodeReadProtection = 19,
};

// The boot ROM's own bytes: its vector table (stack top, then handler addresses) and code.
std::uint8_t BootRomByte(const ChipModel &Model, std::uint32_t Offset) {
    const std::uint32_t Word = Offset / 4;
    const std::uint32_t Value =
        Word == 0 ? Model.RamBase + Model.RamSize - 32 : (BootRomBase + 0x100 + Word * 8) | 1;
    return static_cast<std::uint8_t>(Value >> (8 * (Offset % 4)));
}

char SixBits(unsigned V) {
    return V == 0 ? '`' : static_cast<char>(' ' + V);
}

std::string UULine(const std::uint8_t *Data, std::size_t Count) {
    std::string Line(1, SixBits(static_cast<unsigned>(Count)));
    for (std::size_t i = 0; i < Count; i += 3) {
        const unsigned Group = static_cast<unsigned>(Data[i]) << 16 |
                               (i + 1 < Count ? static_cast<unsigned>(Data[i + 1]) << 8 : 0u) |
                               (i + 2 < Count ? Data[i + 2] : 0u);
        for (int Shift = 18; Shift >= 0; Shift -= 6)
            Line += SixBits(Group >> Shift & 63);
    }
    return Line + "\r\n";
}

std::string UUBytes(const std::string &Line) {
    if (Line.empty())
        return {};
    const auto Six = [&](std::size_t i) -> unsigned {
        return i < Line.size() ? (static_cast<unsigned char>(Line[i]) - 32u) & 63u : 0u;
    };
    const std::size_t Count = Six(0);
    std::string Bytes;
    for (std::size_t Pos = 1; Bytes.size() < Count; Pos += 4) {
        const unsigned Group =
            Six(Pos) << 18 | Six(Pos + 1) << 12 | Six(Pos + 2) << 6 | Six(Pos + 3);
        for (int Shift = 16; Shift >= 0 && Bytes.size() < Count; Shift -= 8)
            Bytes += static_cast<char>(Group >> Shift & 0xFF);
    }
    return Bytes;
}

unsigned long Sum(const std::string &Bytes) {
    unsigned long S = 0;
    for (char C : Bytes)
        S += static_cast<unsigned char>(C);
    return S;
}

bool ParseNumber(const std::string &Text, std::uint32_t &Value) {
    if (Text.empty() || Text.size() > 10 ||
        Text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long V = std::stoull(Text);
    if (V > 0xFFFFFFFFull)
        return false;
    Value = static_cast<std::uint32_t>(V);
    return true;
}

std::vector<std::string> Split(const std::string &Text) {
    std::vector<std::string> Words;
    std::string Word;
    for (char C : Text + ' ') {
        if (C == ' ' || C == '\t') {
            if (!Word.empty())
                Words.push_back(Word);
            Word.clear();
        } else {
            Word += C;
        }
    }
    return Words;
}

std::uint32_t Crc32(const std::uint8_t *Data, std::size_t Size) {
    std::uint32_t Crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < Size; ++i) {
        Crc ^= Data[i];
        for (int k = 0; k < 8; ++k)
            Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
    }
    return ~Crc;
}

std::string Hex32(std::uint32_t V) {
    char Text[16];
    std::snprintf(Text, sizeof Text, "%08x", V);
    return Text;
}

} // namespace

Bootloader::Bootloader(ChipModel Model, std::string Description)
    : FModel(std::move(Model))
    , FDescription(Description.empty() ? "NXP " + FModel.Name + " ISP" : std::move(Description))
    , FFlash(FModel.FlashSize(), 0xFF)
    , FRam(FModel.RamSize, 0)
    , FBaud(FModel.DefaultBaud) {
    PowerOn();
}

std::string Bootloader::Description() const {
    return FDescription;
}

int Bootloader::BaudRate(const PortLink &) const {
    return FBaud;
}

void Bootloader::PowerOn() {
    std::fill(FRam.begin(), FRam.end(), 0);
    FBytesIn = FBytesOut = 0;
    FCrp = CrpLevel();
    // CRP3 and NO_ISP keep the pin from entering ISP, as on the chip.
    FPhase = FJumper && FCrp < 3 ? Phase::Autobaud : Phase::Running;
    FLine.clear();
    FEcho = true;
    FUnlocked = false;
    FRemap = 0;
    FPrepared.assign(FModel.Sectors.size(), false);
    FTransferLeft = 0;
    FGroup.clear();
    FGroupLines = 0;
    FNextBaud = 0;
    FGoAddress.reset();
    FBaud = FModel.DefaultBaud;
}

int Bootloader::CrpLevel() const {
    std::uint32_t Word = 0;
    for (int i = 3; i >= 0; --i)
        Word = Word << 8 | FFlash[CrpWordAddress + static_cast<std::uint32_t>(i)];
    switch (Word) {
    case 0x12345678:
        return 1;
    case 0x87654321:
        return 2;
    case 0x43218765:
        return 3;
    case 0x4E697370:
        return 4;
    default:
        return 0;
    }
}

std::string Bootloader::State() const {
    static const char *const Names[] = {"autobaud",  "synchronizing", "frequency", "command",
                                        "receiving", "sending",       "running",   "silent"};
    return Names[static_cast<int>(FPhase)];
}

void Bootloader::Receive(PortLink &port, std::string_view bytes) {
    FBytesIn += bytes.size();
    for (char C : bytes)
        Byte(port, C);
}

void Bootloader::Output(PortLink &Port, std::string Text, bool Answer) {
    if (FPhase == Phase::Silent)
        return;
    if (Answer && FDropLines > 0) {
        --FDropLines;
        return;
    }
    if (FSilentAfter >= 0) {
        if (static_cast<long>(Text.size()) >= FSilentAfter) {
            Text.resize(static_cast<std::size_t>(FSilentAfter));
            FSilentAfter = -1;
            FPhase = Phase::Silent;
        } else {
            FSilentAfter -= static_cast<long>(Text.size());
        }
    }
    FBytesOut += Text.size();
    if (!Text.empty())
        Port.Send(Text);
}

void Bootloader::Byte(PortLink &Port, char C) {
    switch (FPhase) {
    case Phase::Running:
    case Phase::Silent:
        return;
    case Phase::Autobaud:
        if (C == '?') {
            Output(Port, "Synchronized\r\n", true);
            FPhase = Phase::Synchronizing;
            FLine.clear();
        }
        return;
    default:
        break;
    }
    if (FEcho)
        Output(Port, std::string(1, C), false);
    if (C == Escape) {
        // ESC abandons the line or transfer in progress; at the frequency prompt it leaves
        // the prompt for the command handler.
        FLine.clear();
        if (FPhase != Phase::Synchronizing)
            FPhase = Phase::Command;
        return;
    }
    if (C != '\n') {
        if (FLine.size() < MaxCommandLine)
            FLine += C;
        return;
    }
    std::string Text;
    Text.swap(FLine);
    if (!Text.empty() && Text.back() == '\r')
        Text.pop_back();
    Line(Port, Text);
}

void Bootloader::Line(PortLink &Port, const std::string &Text) {
    switch (FPhase) {
    case Phase::Synchronizing:
        if (Text == "Synchronized") {
            Output(Port, "OK\r\n", true);
            FPhase = Phase::Frequency;
        } else {
            FPhase = Phase::Autobaud;
        }
        return;
    case Phase::Frequency: {
        std::uint32_t Khz = 0;
        if (ParseNumber(Text, Khz)) {
            Output(Port, "OK\r\n", true);
            FPhase = Phase::Command;
        }
        return;
    }
    case Phase::Receiving:
        DataLine(Port, Text);
        return;
    case Phase::Sending:
        if (Text == "OK") {
            if (FTransferLeft == 0)
                FPhase = Phase::Command;
            else
                SendGroup(Port, true);
        } else if (Text == "RESEND") {
            SendGroup(Port, false);
        } else {
            FPhase = Phase::Command;
        }
        return;
    case Phase::Command:
        break;
    default:
        return;
    }
    const std::vector<std::string> Words = Split(Text);
    if (Words.empty())
        return;
    std::string After;
    int Code = 0;
    if (FFaultTimes > 0) {
        --FFaultTimes;
        Code = FFaultCode;
    } else {
        Code = Command(Words, After);
    }
    Output(Port, std::to_string(Code) + "\r\n" + After, true);
    if (FNextBaud != 0) {
        FBaud = FNextBaud;
        FNextBaud = 0;
    }
    if (FPhase == Phase::Sending)
        SendGroup(Port, true);
    if (FGoAddress) {
        const std::uint32_t Address = *FGoAddress;
        FGoAddress.reset();
        Run(Address);
    }
}

void Bootloader::Run(std::uint32_t Address) {
    ThumbBus Bus;
    Bus.Read16 = [this](std::uint32_t A) -> std::optional<std::uint16_t> {
        const auto Lo = ReadByte(A);
        const auto Hi = ReadByte(A + 1);
        if (A % 2 != 0 || !Lo || !Hi)
            return std::nullopt;
        return static_cast<std::uint16_t>(*Hi << 8 | *Lo);
    };
    Bus.Read32 = [this](std::uint32_t A) -> std::optional<std::uint32_t> {
        if (A % 4 != 0)
            return std::nullopt;
        if (A == FModel.RemapRegister)
            return FRemap;
        std::uint32_t V = 0;
        for (int i = 3; i >= 0; --i) {
            const auto B = ReadByte(A + static_cast<std::uint32_t>(i));
            if (!B)
                return std::nullopt;
            V = V << 8 | *B;
        }
        return V;
    };
    Bus.Write32 = [this](std::uint32_t A, std::uint32_t V) {
        if (A % 4 != 0)
            return false;
        if (A == FModel.RemapRegister) {
            FRemap = V & 3;
            return true;
        }
        if (InRam(A, 4)) {
            for (std::uint32_t i = 0; i < 4; ++i)
                FRam[A - FModel.RamBase + i] = static_cast<std::uint8_t>(V >> (8 * i));
            return true;
        }
        // Other peripheral registers take the write without effect here.
        return A >= 0x40000000 && A < 0x60000000;
    };
    const bool Ram = InRam(Address & ~1u, 2);
    if (!Ram || RunThumb(Bus, Address, FModel.Thumb2) != ThumbResult::Returned)
        FPhase = Phase::Running;
}

int Bootloader::Command(const std::vector<std::string> &Words, std::string &After) {
    if (Words[0].size() != 1)
        return InvalidCommand;
    std::vector<std::uint32_t> Args;
    bool Numbers = true;
    for (std::size_t i = 1; i < Words.size(); ++i) {
        std::uint32_t V = 0;
        Numbers = Numbers && ParseNumber(Words[i], V);
        Args.push_back(V);
    }
    const char Letter = Words[0][0];
    if (!Numbers && Letter != 'G')
        return ParamError;
    switch (Letter) {
    case 'U':
        return Unlock(Args);
    case 'A':
        if (Args.size() != 1 || Args[0] > 1)
            return ParamError;
        FEcho = Args[0] == 1;
        return CmdSuccess;
    case 'J':
        After = std::to_string(FModel.PartId) + "\r\n";
        return CmdSuccess;
    case 'K':
        After = std::to_string(FModel.BootVersionMinor) + "\r\n" +
                std::to_string(FModel.BootVersionMajor) + "\r\n";
        return CmdSuccess;
    case 'N':
        for (std::uint32_t Word : {FModel.PartId, 0x5A5A0000u | FModel.PartId % 0x10000,
                                   0x00C0FFEEu, FModel.FlashSize()})
            After += std::to_string(Word) + "\r\n";
        return CmdSuccess;
    case 'B':
        return SetBaud(Args);
    case 'P':
        return Prepare(Args);
    case 'E':
        return Erase(Args);
    case 'I':
        return BlankCheck(Args, After);
    case 'W':
        return WriteRam(Args);
    case 'R':
        return ReadMemory(Args);
    case 'C':
        return Copy(Args);
    case 'M':
        return Compare(Args, After);
    case 'G':
        return Go(Words);
    default:
        return InvalidCommand;
    }
}

int Bootloader::Unlock(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 1)
        return ParamError;
    if (Args[0] != UnlockCode)
        return InvalidCode;
    FUnlocked = true;
    return CmdSuccess;
}

int Bootloader::SetBaud(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 2)
        return ParamError;
    if (std::find(FModel.BaudRates.begin(), FModel.BaudRates.end(), Args[0]) ==
        FModel.BaudRates.end())
        return InvalidBaudRate;
    if (Args[1] != 1 && Args[1] != 2)
        return InvalidStopBit;
    FNextBaud = static_cast<int>(Args[0]);
    return CmdSuccess;
}

bool Bootloader::SectorRangeValid(const std::vector<std::uint32_t> &Args) const {
    return Args[0] <= Args[1] && Args[1] < FModel.Sectors.size();
}

int Bootloader::Prepare(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 2)
        return ParamError;
    if (!SectorRangeValid(Args))
        return InvalidSector;
    for (std::uint32_t s = Args[0]; s <= Args[1]; ++s)
        FPrepared[s] = true;
    return CmdSuccess;
}

int Bootloader::Erase(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 2)
        return ParamError;
    if (!FUnlocked)
        return CmdLocked;
    if (!SectorRangeValid(Args))
        return InvalidSector;
    if (FCrp > 0 && (Args[0] != 0 || Args[1] + 1 != FModel.Sectors.size()))
        return CodeReadProtection;
    for (std::uint32_t s = Args[0]; s <= Args[1]; ++s)
        if (!FPrepared[s])
            return SectorNotPrepared;
    const std::uint32_t Start = FModel.SectorStart(static_cast<int>(Args[0]));
    const std::uint32_t End = FModel.SectorStart(static_cast<int>(Args[1]) + 1);
    std::fill(FFlash.begin() + Start, FFlash.begin() + End, 0xFF);
    FPrepared.assign(FPrepared.size(), false);
    return CmdSuccess;
}

int Bootloader::BlankCheck(const std::vector<std::uint32_t> &Args, std::string &After) {
    if (Args.size() != 2)
        return ParamError;
    if (!SectorRangeValid(Args))
        return InvalidSector;
    const std::uint32_t Start = FModel.SectorStart(static_cast<int>(Args[0]));
    const std::uint32_t End = FModel.SectorStart(static_cast<int>(Args[1]) + 1);
    for (std::uint32_t A = Start; A < End; A += 4) {
        std::uint32_t Word = 0;
        for (int i = 3; i >= 0; --i)
            Word = Word << 8 | FFlash[A + static_cast<std::uint32_t>(i)];
        if (Word != 0xFFFFFFFF) {
            After = std::to_string(A - Start) + "\r\n" + std::to_string(Word) + "\r\n";
            return SectorNotBlank;
        }
    }
    return CmdSuccess;
}

bool Bootloader::InFlash(std::uint32_t Address, std::uint32_t Count) const {
    return Address < FFlash.size() && Count <= FFlash.size() - Address;
}

bool Bootloader::InRam(std::uint32_t Address, std::uint32_t Count) const {
    return Address >= FModel.RamBase && Address - FModel.RamBase < FModel.RamSize &&
           Count <= FModel.RamSize - (Address - FModel.RamBase);
}

std::optional<std::uint8_t> Bootloader::ReadByte(std::uint32_t Address) const {
    if (Address < FModel.RemapWindow && FRemap != FModel.RemapUserFlash) {
        // SYSMEMREMAP 1 on the LPC11xx maps the RAM's first bytes instead.
        if (FRemap == 1 && FModel.RemapUserFlash == 2)
            return FRam[Address];
        return BootRomByte(FModel, Address);
    }
    if (Address < FFlash.size())
        return FFlash[Address];
    if (InRam(Address, 1))
        return FRam[Address - FModel.RamBase];
    if (Address >= BootRomBase && Address - BootRomBase < BootRomSize)
        return BootRomByte(FModel, Address - BootRomBase);
    return std::nullopt;
}

int Bootloader::WriteRam(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 2)
        return ParamError;
    if (Args[0] % 4 != 0)
        return AddrError;
    if (Args[1] % 4 != 0)
        return CountError;
    if (!InRam(Args[0], Args[1]))
        return AddrNotMapped;
    if (FCrp >= 2 || (FCrp == 1 && Args[0] < FModel.IspRamEnd))
        return CodeReadProtection;
    if (Args[1] > 0) {
        FPhase = Phase::Receiving;
        FTransferAddress = Args[0];
        FTransferLeft = Args[1];
        FGroup.clear();
        FGroupLines = 0;
    }
    return CmdSuccess;
}

void Bootloader::DataLine(PortLink &Port, const std::string &Text) {
    const bool ChecksumDue =
        FGroupLines == static_cast<int>(LinesPerChecksum) || FGroup.size() >= FTransferLeft;
    if (!ChecksumDue) {
        std::string Bytes = UUBytes(Text);
        if (FCorruptRx && !Bytes.empty()) {
            FCorruptRx = false;
            Bytes[0] = static_cast<char>(Bytes[0] ^ 0x10);
        }
        FGroup += Bytes;
        ++FGroupLines;
        return;
    }
    std::uint32_t Expected = 0;
    const bool Good = ParseNumber(Text, Expected) && Expected == Sum(FGroup);
    if (Good) {
        const std::uint32_t Count =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(FGroup.size()), FTransferLeft);
        std::copy_n(FGroup.begin(), Count, FRam.begin() + (FTransferAddress - FModel.RamBase));
        FTransferAddress += Count;
        FTransferLeft -= Count;
    }
    FGroup.clear();
    FGroupLines = 0;
    Output(Port, Good ? "OK\r\n" : "RESEND\r\n", true);
    if (FTransferLeft == 0)
        FPhase = Phase::Command;
}

int Bootloader::ReadMemory(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 2)
        return ParamError;
    if (Args[0] % 4 != 0)
        return AddrError;
    if (Args[1] % 4 != 0)
        return CountError;
    if (!InFlash(Args[0], Args[1]) && !InRam(Args[0], Args[1]))
        return AddrNotMapped;
    if (FCrp > 0)
        return CodeReadProtection;
    if (Args[1] > 0) {
        FPhase = Phase::Sending;
        FTransferAddress = Args[0];
        FTransferLeft = Args[1];
    }
    return CmdSuccess;
}

void Bootloader::SendGroup(PortLink &Port, bool Fresh) {
    if (Fresh) {
        const std::size_t Count =
            std::min<std::size_t>(FTransferLeft, LinesPerChecksum * BytesPerLine);
        FGroup.clear();
        for (std::size_t i = 0; i < Count; ++i)
            FGroup +=
                static_cast<char>(*ReadByte(FTransferAddress + static_cast<std::uint32_t>(i)));
        FTransferAddress += static_cast<std::uint32_t>(Count);
        FTransferLeft -= static_cast<std::uint32_t>(Count);
    }
    std::string Text;
    const auto *Data = reinterpret_cast<const std::uint8_t *>(FGroup.data());
    for (std::size_t i = 0; i < FGroup.size(); i += BytesPerLine)
        Text += UULine(Data + i, std::min(BytesPerLine, FGroup.size() - i));
    if (FCorruptTx) {
        FCorruptTx = false;
        Text[1] = Text[1] == '!' ? '"' : '!';
    }
    Output(Port, Text + std::to_string(Sum(FGroup)) + "\r\n", true);
}

int Bootloader::Copy(const std::vector<std::uint32_t> &Args) {
    if (Args.size() != 3)
        return ParamError;
    if (!FUnlocked)
        return CmdLocked;
    const std::uint32_t Flash = Args[0], Ram = Args[1], Count = Args[2];
    if (Flash % 256 != 0)
        return DstAddrError;
    if (Ram % 4 != 0)
        return SrcAddrError;
    if (Count != 256 && Count != 512 && Count != 1024 && Count != 4096)
        return CountError;
    if (!InFlash(Flash, Count))
        return DstAddrNotMapped;
    if (!InRam(Ram, Count))
        return SrcAddrNotMapped;
    if (FCrp >= 2 || (FCrp == 1 && FModel.SectorOf(Flash) == 0))
        return CodeReadProtection;
    for (int s = FModel.SectorOf(Flash); s <= FModel.SectorOf(Flash + Count - 1); ++s)
        if (!FPrepared[static_cast<std::size_t>(s)])
            return SectorNotPrepared;
    // Programming only clears bits: a word that was not erased keeps its zeros.
    for (std::uint32_t i = 0; i < Count; ++i)
        FFlash[Flash + i] &= FRam[Ram - FModel.RamBase + i];
    if (FWeakByte && *FWeakByte - Flash < Count) {
        FFlash[*FWeakByte] ^= 0x01;
        FWeakByte.reset();
    }
    FPrepared.assign(FPrepared.size(), false);
    return CmdSuccess;
}

int Bootloader::Compare(const std::vector<std::uint32_t> &Args, std::string &After) {
    if (Args.size() != 3)
        return ParamError;
    if (Args[0] % 4 != 0 || Args[1] % 4 != 0)
        return AddrError;
    if (Args[2] % 4 != 0)
        return CountError;
    for (std::uint32_t A : {Args[0], Args[1]})
        if (!InFlash(A, Args[2]) && !InRam(A, Args[2]))
            return AddrNotMapped;
    if (FCrp > 0)
        return CodeReadProtection;
    for (std::uint32_t i = 0; i < Args[2]; ++i)
        if (*ReadByte(Args[0] + i) != *ReadByte(Args[1] + i)) {
            After = std::to_string(i) + "\r\n";
            return CompareError;
        }
    return CmdSuccess;
}

int Bootloader::Go(const std::vector<std::string> &Words) {
    std::uint32_t Address = 0;
    if (Words.size() != 3 || !ParseNumber(Words[1], Address))
        return ParamError;
    if (!FUnlocked)
        return CmdLocked;
    if (Words[2] != "T")
        return ParamError;
    if (!InFlash(Address, 2) && !InRam(Address, 2))
        return AddrNotMapped;
    if (FCrp >= 2)
        return CodeReadProtection;
    FGoAddress = Address;
    return CmdSuccess;
}

std::string Bootloader::FlashCompare(const std::string &FileName) const {
    const auto Image = ReadHexImage(FileName);
    for (const auto &[Address, Byte] : Image) {
        if (Address >= FFlash.size())
            throw std::runtime_error("HEX data outside the flash at " + std::to_string(Address));
        if (FFlash[Address] != Byte) {
            char Text[96];
            std::snprintf(Text, sizeof Text, "differs at %u: flash %02x, file %02x", Address,
                          FFlash[Address], Byte);
            return Text;
        }
    }
    return "equal " + std::to_string(Image.size()) + " bytes";
}

std::string Bootloader::Fault(const std::vector<std::string> &Words) {
    const auto Number = [&](std::size_t i, std::uint32_t Default) {
        std::uint32_t V = Default;
        if (i < Words.size() && !ParseNumber(Words[i], V))
            throw std::runtime_error("bad number: " + Words[i]);
        return V;
    };
    const std::string Kind = Words.size() > 1 ? Words[1] : "";
    if (Kind == "rc") {
        FFaultCode = static_cast<int>(Number(2, 1));
        FFaultTimes = static_cast<int>(Number(3, 1));
    } else if (Kind == "drop-line") {
        FDropLines = static_cast<int>(Number(2, 1));
    } else if (Kind == "corrupt-tx") {
        FCorruptTx = true;
    } else if (Kind == "corrupt-rx") {
        FCorruptRx = true;
    } else if (Kind == "silent-after") {
        FSilentAfter = static_cast<long>(Number(2, 0));
    } else if (Kind == "weak-byte") {
        FWeakByte = Number(2, 0);
    } else if (Kind == "clear") {
        FWeakByte.reset();
        FFaultTimes = FDropLines = 0;
        FCorruptTx = FCorruptRx = false;
        FSilentAfter = -1;
    } else {
        throw std::runtime_error("unknown fault: " + Kind);
    }
    return "ok";
}

std::string Bootloader::Control(const std::vector<std::string> &words) {
    if (words.empty())
        throw std::runtime_error("empty command");
    const std::string &What = words[0];
    if (What == "reset") {
        PowerOn();
        return "ok " + State();
    }
    if (What == "jumper" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
        FJumper = words[1] == "on";
        return "ok";
    }
    if (What == "baud" && words.size() == 2) {
        std::uint32_t Rate = 0;
        if (!ParseNumber(words[1], Rate) || Rate == 0)
            throw std::runtime_error("bad rate: " + words[1]);
        FBaud = static_cast<int>(Rate);
        return "ok";
    }
    if (What == "state")
        return State() + " crp " + std::to_string(FCrp) + (FUnlocked ? " unlocked" : " locked");
    if (What == "flash-crc") {
        std::uint32_t Size = static_cast<std::uint32_t>(FFlash.size());
        if (words.size() > 1 && (!ParseNumber(words[1], Size) || Size > FFlash.size()))
            throw std::runtime_error("bad size: " + words[1]);
        return Hex32(Crc32(FFlash.data(), Size));
    }
    if (What == "flash-dump" && words.size() == 2) {
        std::ofstream Out(words[1], std::ios::binary | std::ios::trunc);
        Out.write(reinterpret_cast<const char *>(FFlash.data()),
                  static_cast<std::streamsize>(FFlash.size()));
        if (!Out)
            throw std::runtime_error("cannot write " + words[1]);
        return "ok " + std::to_string(FFlash.size()) + " bytes";
    }
    if (What == "flash-compare" && words.size() == 2)
        return FlashCompare(words[1]);
    if (What == "traffic")
        return "in " + std::to_string(FBytesIn) + " out " + std::to_string(FBytesOut);
    if (What == "flash-erase") {
        std::fill(FFlash.begin(), FFlash.end(), 0xFF);
        return "ok";
    }
    if (What == "fault")
        return Fault(words);
    throw std::runtime_error("unknown command: " + What);
}

std::shared_ptr<Bootloader> MakeBootloader(std::uint32_t PartId) {
    return std::make_shared<Bootloader>(ModelOfPartId(PartId));
}

} // namespace sim::lpc
