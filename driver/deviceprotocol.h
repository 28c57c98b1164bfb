#pragma once

// Requests and answers of the fiscal devices' command protocol, as plain functions over byte
// strings. "Data" is what a link frame carries: data[0] is the command code (two bytes FF xx
// for the fiscal-drive commands), then the fields, little-endian. No I/O here.

#include <QDate>
#include <QString>
#include <QTime>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace devproto {

namespace cmd {
constexpr std::uint16_t SetLongSerial = 0x0E;
constexpr std::uint16_t ReadLongSerial = 0x0F;
constexpr std::uint16_t ShortStatus = 0x10;
constexpr std::uint16_t FullStatus = 0x11;
constexpr std::uint16_t Beep = 0x13;
constexpr std::uint16_t SetExchange = 0x14;
constexpr std::uint16_t GetExchange = 0x15;
constexpr std::uint16_t TechReset = 0x16;
constexpr std::uint16_t PrintString = 0x17;
constexpr std::uint16_t WriteTable = 0x1E;
constexpr std::uint16_t ReadTable = 0x1F;
constexpr std::uint16_t SetTime = 0x21;
constexpr std::uint16_t SetDate = 0x22;
constexpr std::uint16_t ConfirmDate = 0x23;
constexpr std::uint16_t Cut = 0x25;
constexpr std::uint16_t FontMetrics = 0x26;
constexpr std::uint16_t OpenDrawer = 0x28;
constexpr std::uint16_t Feed = 0x29;
constexpr std::uint16_t InterruptTest = 0x2B;
constexpr std::uint16_t TableStructure = 0x2D;
constexpr std::uint16_t FieldStructure = 0x2E;
constexpr std::uint16_t PrintStringWithFont = 0x2F;
constexpr std::uint16_t ZReport = 0x41;
constexpr std::uint16_t SetSerial = 0x60;
constexpr std::uint16_t Sale = 0x80;
constexpr std::uint16_t CloseCheck = 0x85;
constexpr std::uint16_t CancelCheck = 0x88;
constexpr std::uint16_t EklzSerial = 0xAB;
constexpr std::uint16_t ContinuePrint = 0xB0;
constexpr std::uint16_t EklzVersion = 0xB1;
constexpr std::uint16_t PrintLine = 0xC5;
constexpr std::uint16_t OpenSession = 0xE0;
constexpr std::uint16_t ExtendedRequest = 0xF7;
constexpr std::uint16_t DeviceType = 0xFC;
constexpr std::uint16_t Service = 0xFE;
constexpr std::uint16_t FnStatus = 0xFF01;
constexpr std::uint16_t FnSerial = 0xFF02;
} // namespace cmd

// Result codes the protocol names in its rules.
namespace err {
constexpr int None = 0;
constexpr int SerialAlreadySet = 0x12;
constexpr int DriveNotAnswering = 0x30;
constexpr int BadParameters = 0x33;
constexpr int NotSupported = 0x37;
constexpr int WrongPassword = 0x4F;
constexpr int PrinterBusy = 0x50;
constexpr int WaitingContinuePrint = 0x58;
constexpr int TableNotDefined = 0x5D;
constexpr int NoReceiptPaper = 0x6B;
constexpr int NotInSubmode = 0x72;
constexpr int NotInMode = 0x73;
constexpr int RamError = 0x74;
constexpr int FmReplaced = 0x79;
constexpr int BadLength = 0x7E;
constexpr int RamRestored = 0x93;
constexpr int EklzMissing = 0xA1;
} // namespace err

// ECR flag bits of the status answers.
namespace flag {
constexpr std::uint16_t JournalRoll = 1u << 0;
constexpr std::uint16_t ReceiptRoll = 1u << 1;
constexpr std::uint16_t SlipUpper = 1u << 2;
constexpr std::uint16_t SlipLower = 1u << 3;
constexpr std::uint16_t DecimalPoint = 1u << 4;
constexpr std::uint16_t Eklz = 1u << 5;
constexpr std::uint16_t JournalOptical = 1u << 6;
constexpr std::uint16_t ReceiptOptical = 1u << 7;
constexpr std::uint16_t JournalLever = 1u << 8;
constexpr std::uint16_t ReceiptLever = 1u << 9;
constexpr std::uint16_t CoverOpen = 1u << 10;
constexpr std::uint16_t DrawerOpen = 1u << 11;
constexpr std::uint16_t PresenterIn = 1u << 12;
constexpr std::uint16_t PresenterOut = 1u << 13;
} // namespace flag

// Little-endian field writer.
class TByteWriter {
public:
    TByteWriter &Command(std::uint16_t code);
    TByteWriter &U8(unsigned value) { return Uint(value, 1); }
    TByteWriter &U16(unsigned value) { return Uint(value, 2); }
    TByteWriter &U32(std::uint32_t value) { return Uint(value, 4); }
    TByteWriter &Uint(std::uint64_t value, int size);
    // CP1251 text, cut or NUL-padded to size bytes.
    TByteWriter &Text(const QString &text, size_t size);
    TByteWriter &Raw(std::string_view bytes);
    const std::string &Data() const { return FData; }

private:
    std::string FData;
};

// Little-endian field reader over an answer; reading past the end is recorded, not thrown.
class TByteReader {
public:
    explicit TByteReader(std::string_view data, size_t offset = 0)
        : FData(data)
        , FPos(offset) {}
    unsigned U8() { return static_cast<unsigned>(Uint(1)); }
    unsigned U16() { return static_cast<unsigned>(Uint(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Uint(4)); }
    std::uint64_t Uint(int size);
    std::string_view Raw(size_t size);
    QString Text(size_t size);
    QDate Date(); // DD MM YY
    QTime Time(); // hh mm ss
    size_t Left() const { return FPos < FData.size() ? FData.size() - FPos : 0; }
    bool Overrun() const { return FOverrun; }

private:
    std::string_view FData;
    size_t FPos;
    bool FOverrun = false;
};

// Command code of a data block (one byte, or FF xx).
std::uint16_t CommandOf(std::string_view data);
bool IsTwoByteCommand(std::uint16_t command);

// The result code of an answer to command, or -3 when the answer is not one to that command.
int AnswerResult(std::string_view answer, std::uint16_t command);
// Offset of the first field after the result code.
size_t FieldsOffset(std::uint16_t command);

// Time from the request frame to the answer's STX that the device may take.
std::chrono::milliseconds AnswerTimeout(std::uint16_t command);

// --- Requests -----------------------------------------------------------------------------

// Commands whose only field is the password (10h, 11h, 13h, 2Bh, 41h, 88h, ABh, B0h, B1h,
// E0h, 0Fh, FF01h, FF02h).
std::string EncodePasswordOnly(std::uint16_t command, std::uint32_t password);
std::string EncodeNoPassword(std::uint16_t command); // 16h, FCh
std::string EncodeSetExchange(std::uint32_t password, unsigned port, unsigned baudCode,
                              unsigned timeoutCode);
std::string EncodeGetExchange(std::uint32_t password, unsigned port);
// Print flags: b0 journal, b1 receipt, b2 slip.
unsigned PrintFlags(bool journal, bool receipt, bool slip);
std::string EncodePrintString(std::uint32_t password, unsigned flags, const QString &text);
std::string EncodePrintStringWithFont(std::uint32_t password, unsigned flags, unsigned font,
                                      const QString &text);
std::string EncodeReadTable(std::uint32_t password, unsigned table, unsigned row, unsigned field);
std::string EncodeWriteTable(std::uint32_t password, unsigned table, unsigned row, unsigned field,
                             std::string_view value);
std::string EncodeTableStructure(std::uint32_t password, unsigned table);
std::string EncodeFieldStructure(std::uint32_t password, unsigned table, unsigned field);
std::string EncodeSetTime(std::uint32_t password, const QTime &time);
std::string EncodeDate(std::uint16_t command, std::uint32_t password, const QDate &date);
std::string EncodeCut(std::uint32_t password, bool partial);
std::string EncodeFontMetrics(std::uint32_t password, unsigned font);
std::string EncodeOpenDrawer(std::uint32_t password, unsigned drawer);
std::string EncodeFeed(std::uint32_t password, unsigned flags, unsigned lines);
std::string EncodeSetSerial(std::uint32_t serial);
std::string EncodeSetLongSerial(std::uint64_t serial);
// Quantity in thousandths, price in kopecks.
std::string EncodeSale(std::uint32_t password, std::uint64_t quantity, std::uint64_t price,
                       unsigned department, const QString &text);
std::string EncodeCloseCheck(std::uint32_t password, std::uint64_t cash, const QString &text);
// Flags byte only on models that take it (model capability bit 37).
std::string EncodePrintLine(std::uint32_t password, unsigned repeats, std::optional<unsigned> flags,
                            std::string_view dots);
std::string EncodeExtendedRequest(unsigned type, std::string_view fields = {});
std::string EncodeService(unsigned function, std::uint32_t parameter);

// F7h type 16: the line relay between the host and the fiscal memory's bootloader UART.
namespace relay {
constexpr unsigned OperationType = 16;
constexpr unsigned SendAndCollect = 0;
constexpr unsigned WriteOnly = 1;
constexpr unsigned FetchLines = 2;
constexpr unsigned RawRead = 3;
// Longest text of one request, and of the lines of one answer.
constexpr size_t MaxText = 240;
constexpr int SendError = 0xF0;
constexpr int ReceiveError = 0xF1;
constexpr int Timeout = 0xF2;
constexpr int BufferOverflow = 0xF3;
constexpr int NoLines = 0xF4;
constexpr int AnswerOverflow = 0xF5;
} // namespace relay

std::string EncodeRelaySendAndCollect(unsigned lines, unsigned readTimeoutMs,
                                      std::string_view text);
std::string EncodeRelayWrite(std::string_view text);
std::string EncodeRelayFetch(unsigned first, unsigned last);
std::string EncodeRelayRead(unsigned count, unsigned readTimeoutMs);

// --- Answers (each takes an answer whose result is 0; nullopt when it is too short) -------

struct TShortStatus {
    unsigned Operator = 0;
    std::uint16_t Flags = 0;
    unsigned Mode = 0; // whole byte: low nibble mode, high nibble status
    unsigned Submode = 0;
    unsigned Operations = 0;
    unsigned BatteryRaw = 0;
    unsigned PowerRaw = 0;
    unsigned FmError = 0;
    unsigned EklzError = 0;
    std::optional<unsigned> LastPrintResult;
};
std::optional<TShortStatus> DecodeShortStatus(std::string_view answer);
double BatteryVolts(unsigned raw);
double PowerVolts(unsigned raw);

struct TFullStatus {
    unsigned Operator = 0;
    QString SoftVersion; // "c1.c2"
    unsigned SoftBuild = 0;
    QDate SoftDate;
    unsigned HallNumber = 0;
    unsigned DocumentNumber = 0;
    std::uint16_t Flags = 0;
    unsigned Mode = 0;
    unsigned Submode = 0;
    unsigned Port = 0;
    QString FmSoftVersion;
    unsigned FmBuild = 0;
    QDate FmSoftDate;
    QDate Date;
    QTime Time;
    unsigned FmFlags = 0;
    std::uint32_t Serial = 0xFFFFFFFF;
    unsigned SessionNumber = 0;
    unsigned FreeFmRecords = 0;
    unsigned Fiscalisations = 0;
    unsigned FiscalisationsLeft = 0;
    std::uint64_t Inn = 0;
};
std::optional<TFullStatus> DecodeFullStatus(std::string_view answer);

struct TDeviceMetrics {
    unsigned Type = 0;
    unsigned Subtype = 0;
    unsigned ProtocolVersion = 0;
    unsigned ProtocolSubversion = 0;
    unsigned Model = 0;
    unsigned Language = 0;
    QString Name;
};
std::optional<TDeviceMetrics> DecodeDeviceMetrics(std::string_view answer);

struct TExchangeParam {
    unsigned BaudCode = 0;
    unsigned TimeoutCode = 0;
};
std::optional<TExchangeParam> DecodeExchangeParam(std::string_view answer);

struct TTableStructure {
    QString Name;
    unsigned Rows = 0;
    unsigned Fields = 0;
};
std::optional<TTableStructure> DecodeTableStructure(std::string_view answer);

struct TFieldStructure {
    QString Name;
    bool IsText = false;
    unsigned Size = 0;
    std::uint64_t Min = 0;
    std::uint64_t Max = 0;
};
std::optional<TFieldStructure> DecodeFieldStructure(std::string_view answer);
// The raw value bytes of a 1Fh answer.
std::string_view TableValue(std::string_view answer);

struct TFontMetrics {
    unsigned PrintWidth = 0;
    unsigned CharWidth = 0;
    unsigned CharHeight = 0;
    unsigned FontCount = 0;
};
std::optional<TFontMetrics> DecodeFontMetrics(std::string_view answer);

struct TLongSerial {
    std::uint64_t Serial = 0;
    std::uint64_t Rnm = 0;
};
std::optional<TLongSerial> DecodeLongSerial(std::string_view answer);
constexpr std::uint64_t LongNumberUnset = 0x00FFFFFFFFFFFFFFull;

std::optional<std::uint64_t> DecodeChange(std::string_view answer); // 85h
std::optional<std::uint64_t> DecodeEklzSerial(std::string_view answer);
std::optional<QString> DecodeEklzVersion(std::string_view answer);

struct TFnStatus {
    unsigned LifeState = 0;
    unsigned CurrentDocument = 0;
    unsigned DocumentData = 0;
    unsigned SessionState = 0;
    unsigned Warnings = 0;
    QDate Date;
    QTime Time;
    QString Serial;
    std::uint32_t LastDocument = 0;
};
std::optional<TFnStatus> DecodeFnStatus(std::string_view answer);
std::optional<QString> DecodeFnSerial(std::string_view answer);

// F7h type 01: what the model can do.
struct TModelCapabilities {
    std::uint64_t Bits = 0;
    unsigned Font1Width = 0;
    unsigned Font2Width = 0;
    unsigned FirstGraphicsLine = 0;
    unsigned InnDigits = 0;
    unsigned RnmDigits = 0;
    unsigned LongRnmDigits = 0;
    unsigned LongSerialDigits = 0;
    std::uint32_t TaxPassword = 0;
    std::uint32_t SysPassword = 0;
    unsigned WirelessTable = 0;
    unsigned TaxAccrualField = 0;
    unsigned MaxCommandLength = 0;
    unsigned GraphicLineWidth = 0;
    bool Has(int bit) const { return (Bits >> bit) & 1u; }
};
// Lines first ... last of the relay's collection, joined by CR LF without a final one.
struct TRelayLines {
    unsigned First = 0;
    unsigned Last = 0;
    std::string Text;
};
std::optional<TRelayLines> DecodeRelayLines(std::string_view answer);
// The bytes of a raw read.
std::optional<std::string> DecodeRelayRead(std::string_view answer);

std::optional<TModelCapabilities> DecodeModelCapabilities(std::string_view answer);
std::string EncodeModelCapabilities(const TModelCapabilities &caps); // the fields after F7, err

namespace cap {
constexpr int JournalRollSensor = 0;
constexpr int ReceiptRollSensor = 1;
constexpr int JournalOpticalSensor = 2;
constexpr int ReceiptOpticalSensor = 3;
constexpr int CoverSensor = 4;
constexpr int JournalLeverSensor = 5;
constexpr int ReceiptLeverSensor = 6;
constexpr int SlipUpperSensor = 7;
constexpr int SlipLowerSensor = 8;
constexpr int Presenter = 9;
constexpr int Eklz = 12;
constexpr int Cutter = 13;
constexpr int DrawerAsPresenterSensor = 14;
constexpr int DrawerSensor = 15;
constexpr int PresenterInSensor = 16;
constexpr int PresenterOutSensor = 17;
constexpr int BillAcceptor = 18;
constexpr int TaxKeypad = 19;
constexpr int Journal = 20;
constexpr int Slip = 21;
constexpr int NonFiscal = 22;
constexpr int SwapLineBytes = 26;
constexpr int LinePrintFlags = 37;
} // namespace cap

// --- Codes and texts ----------------------------------------------------------------------

// Baud-rate codes 0..9 of 14h/15h; -1 / 0 for what is not in the table.
int BaudRateOfCode(unsigned code);
int CodeOfBaudRate(int rate);
std::chrono::milliseconds ByteTimeoutOfCode(unsigned code);
// The TCP port byte of 14h for port 128.
unsigned TcpPortOfCode(unsigned code);

// Russian text of a device result code; fiscal-drive devices use their own table first.
QString ResultCodeDescription(int code, bool fiscalDrive);
QString ModeDescription(unsigned modeByte);
QString AdvancedModeDescription(unsigned submode);

} // namespace devproto
