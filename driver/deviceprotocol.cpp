#include "driver/deviceprotocol.h"

#include "driver/cp1251.h"

#include <algorithm>
#include <array>

namespace devproto {

using namespace std::chrono_literals;

TByteWriter &TByteWriter::Command(std::uint16_t code) {
    if (IsTwoByteCommand(code))
        FData += static_cast<char>(code >> 8);
    FData += static_cast<char>(code & 0xFF);
    return *this;
}

TByteWriter &TByteWriter::Uint(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        FData += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
    return *this;
}

TByteWriter &TByteWriter::Text(const QString &text, size_t size) {
    std::string bytes = cp1251::FromUnicode(text);
    bytes.resize(size, '\0');
    FData += bytes;
    return *this;
}

TByteWriter &TByteWriter::Raw(std::string_view bytes) {
    FData += bytes;
    return *this;
}

std::uint64_t TByteReader::Uint(int size) {
    std::uint64_t value = 0;
    const std::string_view bytes = Raw(static_cast<size_t>(size));
    // Fields wider than 8 bytes keep their low 8 bytes.
    for (size_t i = std::min<size_t>(bytes.size(), 8); i-- > 0;)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
    return value;
}

std::string_view TByteReader::Raw(size_t size) {
    if (Left() < size) {
        FOverrun = true;
        FPos = FData.size();
        return {};
    }
    const std::string_view bytes = FData.substr(FPos, size);
    FPos += size;
    return bytes;
}

QString TByteReader::Text(size_t size) {
    return cp1251::ToUnicode(Raw(size));
}

QDate TByteReader::Date() {
    const int day = static_cast<int>(U8());
    const int month = static_cast<int>(U8());
    const int year = static_cast<int>(U8());
    return QDate(2000 + year, month, day);
}

QTime TByteReader::Time() {
    const int hour = static_cast<int>(U8());
    const int minute = static_cast<int>(U8());
    const int second = static_cast<int>(U8());
    return QTime(hour, minute, second);
}

bool IsTwoByteCommand(std::uint16_t command) {
    return command > 0xFF;
}

std::uint16_t CommandOf(std::string_view data) {
    if (data.empty())
        return 0;
    const auto first = static_cast<std::uint8_t>(data[0]);
    if (first == 0xFF && data.size() >= 2)
        return static_cast<std::uint16_t>(0xFF00 | static_cast<std::uint8_t>(data[1]));
    return first;
}

size_t FieldsOffset(std::uint16_t command) {
    return IsTwoByteCommand(command) ? 3 : 2;
}

int AnswerResult(std::string_view answer, std::uint16_t command) {
    if (IsTwoByteCommand(command)) {
        // A device without the FF group answers "FF, code": the second byte is then the error.
        if (answer.size() < 2 || static_cast<std::uint8_t>(answer[0]) != 0xFF)
            return -3;
        if (static_cast<std::uint8_t>(answer[1]) != (command & 0xFF))
            return answer.size() == 2 ? static_cast<std::uint8_t>(answer[1]) : -3;
        return answer.size() >= 3 ? static_cast<std::uint8_t>(answer[2]) : -3;
    }
    if (answer.size() < 2 || static_cast<std::uint8_t>(answer[0]) != command)
        return -3;
    return static_cast<std::uint8_t>(answer[1]);
}

std::chrono::milliseconds AnswerTimeout(std::uint16_t command) {
    if (IsTwoByteCommand(command))
        return 30s;
    const unsigned c = command;
    const auto in = [c](unsigned from, unsigned to) { return c >= from && c <= to; };
    if (c == 0x16)
        return 60s;
    if (c == 0xE0)
        return 100s;
    if (c == 0xB2 || in(0xB6, 0xBB))
        return 150s;
    if (c == 0x19 || c == 0x25 || c == 0x28 || in(0x50, 0x54) || in(0x80, 0x84) || in(0x86, 0x8B) ||
        c == 0x8D || c == 0xB0 || c == 0xB1 || in(0xC0, 0xC5))
        return 10s;
    if (in(0x01, 0x03) || in(0x0D, 0x15) || c == 0x17 || c == 0x18 || in(0x1A, 0x24) || c == 0x26 ||
        in(0x29, 0x2B) || in(0x2D, 0x2F) || in(0x4D, 0x4F) || c == 0x60)
        return 3s;
    return 30s;
}

std::string EncodePasswordOnly(std::uint16_t command, std::uint32_t password) {
    return TByteWriter().Command(command).U32(password).Data();
}

std::string EncodeNoPassword(std::uint16_t command) {
    return TByteWriter().Command(command).Data();
}

std::string EncodeSetExchange(std::uint32_t password, unsigned port, unsigned baudCode,
                              unsigned timeoutCode) {
    return TByteWriter()
        .Command(cmd::SetExchange)
        .U32(password)
        .U8(port)
        .U8(baudCode)
        .U8(timeoutCode)
        .Data();
}

std::string EncodeGetExchange(std::uint32_t password, unsigned port) {
    return TByteWriter().Command(cmd::GetExchange).U32(password).U8(port).Data();
}

unsigned PrintFlags(bool journal, bool receipt, bool slip) {
    return (journal ? 1u : 0u) | (receipt ? 2u : 0u) | (slip ? 4u : 0u);
}

std::string EncodePrintString(std::uint32_t password, unsigned flags, const QString &text) {
    return TByteWriter().Command(cmd::PrintString).U32(password).U8(flags).Text(text, 40).Data();
}

std::string EncodePrintStringWithFont(std::uint32_t password, unsigned flags, unsigned font,
                                      const QString &text) {
    return TByteWriter()
        .Command(cmd::PrintStringWithFont)
        .U32(password)
        .U8(flags)
        .U8(font)
        .Text(text, 40)
        .Data();
}

std::string EncodeReadTable(std::uint32_t password, unsigned table, unsigned row, unsigned field) {
    return TByteWriter().Command(cmd::ReadTable).U32(password).U8(table).U16(row).U8(field).Data();
}

std::string EncodeWriteTable(std::uint32_t password, unsigned table, unsigned row, unsigned field,
                             std::string_view value) {
    return TByteWriter()
        .Command(cmd::WriteTable)
        .U32(password)
        .U8(table)
        .U16(row)
        .U8(field)
        .Raw(value)
        .Data();
}

std::string EncodeTableStructure(std::uint32_t password, unsigned table) {
    return TByteWriter().Command(cmd::TableStructure).U32(password).U8(table).Data();
}

std::string EncodeFieldStructure(std::uint32_t password, unsigned table, unsigned field) {
    return TByteWriter().Command(cmd::FieldStructure).U32(password).U8(table).U8(field).Data();
}

std::string EncodeSetTime(std::uint32_t password, const QTime &time) {
    return TByteWriter()
        .Command(cmd::SetTime)
        .U32(password)
        .U8(static_cast<unsigned>(time.hour()))
        .U8(static_cast<unsigned>(time.minute()))
        .U8(static_cast<unsigned>(time.second()))
        .Data();
}

std::string EncodeDate(std::uint16_t command, std::uint32_t password, const QDate &date) {
    return TByteWriter()
        .Command(command)
        .U32(password)
        .U8(static_cast<unsigned>(date.day()))
        .U8(static_cast<unsigned>(date.month()))
        .U8(static_cast<unsigned>(date.year() - 2000))
        .Data();
}

std::string EncodeCut(std::uint32_t password, bool partial) {
    return TByteWriter().Command(cmd::Cut).U32(password).U8(partial ? 1 : 0).Data();
}

std::string EncodeFontMetrics(std::uint32_t password, unsigned font) {
    return TByteWriter().Command(cmd::FontMetrics).U32(password).U8(font).Data();
}

std::string EncodeOpenDrawer(std::uint32_t password, unsigned drawer) {
    return TByteWriter().Command(cmd::OpenDrawer).U32(password).U8(drawer).Data();
}

std::string EncodeFeed(std::uint32_t password, unsigned flags, unsigned lines) {
    return TByteWriter().Command(cmd::Feed).U32(password).U8(flags).U8(lines).Data();
}

std::string EncodeSetSerial(std::uint32_t serial) {
    return TByteWriter().Command(cmd::SetSerial).U32(0).U32(serial).Data();
}

std::string EncodeSetLongSerial(std::uint64_t serial) {
    return TByteWriter().Command(cmd::SetLongSerial).U32(0).Uint(serial, 7).Data();
}

std::string EncodeSale(std::uint32_t password, std::uint64_t quantity, std::uint64_t price,
                       unsigned department, const QString &text) {
    return TByteWriter()
        .Command(cmd::Sale)
        .U32(password)
        .Uint(quantity, 5)
        .Uint(price, 5)
        .U8(department)
        .U32(0) // four tax groups: none
        .Text(text, 40)
        .Data();
}

std::string EncodeCloseCheck(std::uint32_t password, std::uint64_t cash, const QString &text) {
    return TByteWriter()
        .Command(cmd::CloseCheck)
        .U32(password)
        .Uint(cash, 5)
        .Uint(0, 15) // payments 2..4
        .U16(0)      // discount
        .U32(0)      // taxes
        .Text(text, 40)
        .Data();
}

std::string EncodePrintLine(std::uint32_t password, unsigned repeats, std::optional<unsigned> flags,
                            std::string_view dots) {
    TByteWriter writer;
    writer.Command(cmd::PrintLine).U32(password).U16(repeats);
    if (flags)
        writer.U8(*flags);
    return writer.Raw(dots).Data();
}

std::string EncodeExtendedRequest(unsigned type, std::string_view fields) {
    return TByteWriter().Command(cmd::ExtendedRequest).U8(type).Raw(fields).Data();
}

std::string EncodeRelaySendAndCollect(unsigned lines, unsigned readTimeoutMs,
                                      std::string_view text) {
    return EncodeExtendedRequest(
        relay::OperationType,
        TByteWriter().U8(relay::SendAndCollect).U8(lines).U16(readTimeoutMs).Raw(text).Data());
}

std::string EncodeRelayWrite(std::string_view text) {
    return EncodeExtendedRequest(relay::OperationType,
                                 TByteWriter().U8(relay::WriteOnly).Raw(text).Data());
}

std::string EncodeRelayFetch(unsigned first, unsigned last) {
    return EncodeExtendedRequest(relay::OperationType,
                                 TByteWriter().U8(relay::FetchLines).U8(first).U8(last).Data());
}

std::string EncodeRelayRead(unsigned count, unsigned readTimeoutMs) {
    return EncodeExtendedRequest(
        relay::OperationType, TByteWriter().U8(relay::RawRead).U8(count).U16(readTimeoutMs).Data());
}

std::string EncodeService(unsigned function, std::uint32_t parameter) {
    return TByteWriter().Command(cmd::Service).U8(function).U32(parameter).Data();
}

namespace {

// A reader at the first field of an answer of the expected length at least.
std::optional<TByteReader> Fields(std::string_view answer, std::uint16_t command, size_t length) {
    if (AnswerResult(answer, command) != 0 || answer.size() < length)
        return std::nullopt;
    return TByteReader(answer, FieldsOffset(command));
}

QString VersionText(TByteReader &reader) {
    const std::string_view chars = reader.Raw(2);
    if (chars.size() < 2)
        return {};
    return cp1251::ToUnicode(chars.substr(0, 1)) + QLatin1Char('.') +
           cp1251::ToUnicode(chars.substr(1, 1));
}

} // namespace

std::optional<TShortStatus> DecodeShortStatus(std::string_view answer) {
    auto r = Fields(answer, cmd::ShortStatus, 16);
    if (!r)
        return std::nullopt;
    TShortStatus s;
    s.Operator = r->U8();
    s.Flags = static_cast<std::uint16_t>(r->U16());
    s.Mode = r->U8();
    s.Submode = r->U8();
    const unsigned opsLow = r->U8();
    s.BatteryRaw = r->U8();
    s.PowerRaw = r->U8();
    s.FmError = r->U8();
    s.EklzError = r->U8();
    s.Operations = opsLow | (r->U8() << 8);
    r->Raw(3);
    if (r->Left() >= 1)
        s.LastPrintResult = r->U8();
    return s;
}

double BatteryVolts(unsigned raw) {
    return raw / 255.0 * 5.0;
}

double PowerVolts(unsigned raw) {
    return raw * 24.0 / 216.0;
}

std::optional<TFullStatus> DecodeFullStatus(std::string_view answer) {
    auto r = Fields(answer, cmd::FullStatus, 48);
    if (!r)
        return std::nullopt;
    TFullStatus s;
    s.Operator = r->U8();
    s.SoftVersion = VersionText(*r);
    s.SoftBuild = r->U16();
    s.SoftDate = r->Date();
    s.HallNumber = r->U8();
    s.DocumentNumber = r->U16();
    s.Flags = static_cast<std::uint16_t>(r->U16());
    s.Mode = r->U8();
    s.Submode = r->U8();
    s.Port = r->U8();
    s.FmSoftVersion = VersionText(*r);
    s.FmBuild = r->U16();
    s.FmSoftDate = r->Date();
    s.Date = r->Date();
    s.Time = r->Time();
    s.FmFlags = r->U8();
    s.Serial = r->U32();
    s.SessionNumber = r->U16();
    s.FreeFmRecords = r->U16();
    s.Fiscalisations = r->U8();
    s.FiscalisationsLeft = r->U8();
    s.Inn = r->Uint(6);
    if (r->Left() >= 2) {
        s.FmFlags |= r->U8() << 8;
        r->U8(); // FM mode
    }
    return s;
}

std::optional<TDeviceMetrics> DecodeDeviceMetrics(std::string_view answer) {
    auto r = Fields(answer, cmd::DeviceType, 8);
    if (!r)
        return std::nullopt;
    TDeviceMetrics m;
    m.Type = r->U8();
    m.Subtype = r->U8();
    m.ProtocolVersion = r->U8();
    m.ProtocolSubversion = r->U8();
    m.Model = r->U8();
    m.Language = r->U8();
    m.Name = r->Text(r->Left());
    return m;
}

std::optional<TExchangeParam> DecodeExchangeParam(std::string_view answer) {
    auto r = Fields(answer, cmd::GetExchange, 4);
    if (!r)
        return std::nullopt;
    TExchangeParam p;
    p.BaudCode = r->U8();
    p.TimeoutCode = r->U8();
    return p;
}

std::optional<TTableStructure> DecodeTableStructure(std::string_view answer) {
    auto r = Fields(answer, cmd::TableStructure, 45);
    if (!r)
        return std::nullopt;
    TTableStructure t;
    t.Name = r->Text(40);
    t.Rows = r->U16();
    t.Fields = r->U8();
    return t;
}

std::optional<TFieldStructure> DecodeFieldStructure(std::string_view answer) {
    auto r = Fields(answer, cmd::FieldStructure, 44);
    if (!r)
        return std::nullopt;
    TFieldStructure f;
    f.Name = r->Text(40);
    f.IsText = r->U8() == 1;
    f.Size = r->U8();
    if (f.Size == 0 || (!f.IsText && f.Size > 8))
        return std::nullopt;
    if (!f.IsText) {
        f.Min = r->Uint(static_cast<int>(f.Size));
        f.Max = r->Uint(static_cast<int>(f.Size));
        if (r->Overrun())
            return std::nullopt;
    }
    return f;
}

std::string_view TableValue(std::string_view answer) {
    return answer.size() > 2 ? answer.substr(2) : std::string_view();
}

std::optional<TFontMetrics> DecodeFontMetrics(std::string_view answer) {
    auto r = Fields(answer, cmd::FontMetrics, 7);
    if (!r)
        return std::nullopt;
    TFontMetrics f;
    f.PrintWidth = r->U16();
    f.CharWidth = r->U8();
    f.CharHeight = r->U8();
    f.FontCount = r->Left() ? r->U8() : 0;
    return f;
}

std::optional<TLongSerial> DecodeLongSerial(std::string_view answer) {
    auto r = Fields(answer, cmd::ReadLongSerial, 16);
    if (!r)
        return std::nullopt;
    TLongSerial s;
    s.Serial = r->Uint(7);
    s.Rnm = r->Uint(7);
    return s;
}

std::optional<std::uint64_t> DecodeChange(std::string_view answer) {
    auto r = Fields(answer, cmd::CloseCheck, 8);
    if (!r)
        return std::nullopt;
    r->U8(); // operator
    return r->Uint(5);
}

std::optional<std::uint64_t> DecodeEklzSerial(std::string_view answer) {
    auto r = Fields(answer, cmd::EklzSerial, 7);
    if (!r)
        return std::nullopt;
    return r->Uint(5);
}

std::optional<QString> DecodeEklzVersion(std::string_view answer) {
    auto r = Fields(answer, cmd::EklzVersion, 20);
    if (!r)
        return std::nullopt;
    return r->Text(18);
}

std::optional<TFnStatus> DecodeFnStatus(std::string_view answer) {
    auto r = Fields(answer, cmd::FnStatus, 33);
    if (!r)
        return std::nullopt;
    TFnStatus s;
    s.LifeState = r->U8();
    s.CurrentDocument = r->U8();
    s.DocumentData = r->U8();
    s.SessionState = r->U8();
    s.Warnings = r->U8();
    const int year = static_cast<int>(r->U8());
    const int month = static_cast<int>(r->U8());
    const int day = static_cast<int>(r->U8());
    const int hour = static_cast<int>(r->U8());
    const int minute = static_cast<int>(r->U8());
    s.Date = QDate(2000 + year, month, day);
    s.Time = QTime(hour, minute);
    s.Serial = r->Text(16);
    s.LastDocument = r->U32();
    return s;
}

std::optional<QString> DecodeFnSerial(std::string_view answer) {
    auto r = Fields(answer, cmd::FnSerial, 19);
    if (!r)
        return std::nullopt;
    return r->Text(16);
}

std::optional<TRelayLines> DecodeRelayLines(std::string_view answer) {
    auto r = Fields(answer, cmd::ExtendedRequest, 4);
    if (!r)
        return std::nullopt;
    TRelayLines lines;
    lines.First = r->U8();
    lines.Last = r->U8();
    lines.Text = std::string(r->Raw(r->Left()));
    return lines;
}

std::optional<std::string> DecodeRelayRead(std::string_view answer) {
    auto r = Fields(answer, cmd::ExtendedRequest, 2);
    if (!r)
        return std::nullopt;
    return std::string(r->Raw(r->Left()));
}

std::optional<TModelCapabilities> DecodeModelCapabilities(std::string_view answer) {
    // Later firmware appends fields, so only the known prefix is required.
    auto r = Fields(answer, cmd::ExtendedRequest, 30);
    if (!r)
        return std::nullopt;
    TModelCapabilities c;
    c.Bits = r->Uint(8);
    c.Font1Width = r->U8();
    c.Font2Width = r->U8();
    c.FirstGraphicsLine = r->U8();
    c.InnDigits = r->U8();
    c.RnmDigits = r->U8();
    c.LongRnmDigits = r->U8();
    c.LongSerialDigits = r->U8();
    c.TaxPassword = r->U32();
    c.SysPassword = r->U32();
    c.WirelessTable = r->U8();
    c.TaxAccrualField = r->U8();
    c.MaxCommandLength = r->U16();
    c.GraphicLineWidth = r->U8();
    return c;
}

std::string EncodeModelCapabilities(const TModelCapabilities &c) {
    return TByteWriter()
        .Uint(c.Bits, 8)
        .U8(c.Font1Width)
        .U8(c.Font2Width)
        .U8(c.FirstGraphicsLine)
        .U8(c.InnDigits)
        .U8(c.RnmDigits)
        .U8(c.LongRnmDigits)
        .U8(c.LongSerialDigits)
        .U32(c.TaxPassword)
        .U32(c.SysPassword)
        .U8(c.WirelessTable)
        .U8(c.TaxAccrualField)
        .U16(c.MaxCommandLength)
        .U8(c.GraphicLineWidth)
        .U8(0)
        .Data();
}

namespace {
constexpr std::array<int, 10> BaudRates = {2400,  4800,   9600,   19200,  38400,
                                           57600, 115200, 230400, 460800, 921600};
}

int BaudRateOfCode(unsigned code) {
    return code < BaudRates.size() ? BaudRates[code] : -1;
}

int CodeOfBaudRate(int rate) {
    for (size_t i = 0; i < BaudRates.size(); ++i)
        if (BaudRates[i] == rate)
            return static_cast<int>(i);
    return -1;
}

std::chrono::milliseconds ByteTimeoutOfCode(unsigned code) {
    if (code <= 150)
        return std::chrono::milliseconds(code);
    if (code <= 249)
        return std::chrono::milliseconds((code - 149) * 150);
    return std::chrono::milliseconds((code - 248) * 15000);
}

unsigned TcpPortOfCode(unsigned code) {
    return ((code & 0xF0u) << 8) | 0x30u | (code & 0x0Fu);
}

} // namespace devproto
