#include "sim/fiscal/fiscalprinter.h"

#include "driver/cp1251.h"
#include "driver/deviceprotocol.h"
#include "driver/modeltable.h"

#include <algorithm>
#include <stdexcept>

namespace sim::fiscal {

using namespace devproto;

namespace {

constexpr unsigned TcpPortNumber = 128;
constexpr unsigned FontCount = 2;
constexpr int DefaultTcpPort = 12345;

// Expected LEN of each request; a negative value is the least length of a variable request.
int ExpectedLength(std::uint16_t command) {
    switch (command) {
    case cmd::DeviceType:
    case cmd::TechReset:
        return 1;
    case cmd::ShortStatus:
    case cmd::FullStatus:
    case cmd::Beep:
    case cmd::InterruptTest:
    case cmd::ZReport:
    case cmd::ReadLongSerial:
    case cmd::CancelCheck:
    case cmd::EklzSerial:
    case cmd::ContinuePrint:
    case cmd::EklzVersion:
    case cmd::OpenSession:
        return 5;
    case cmd::GetExchange:
    case cmd::TableStructure:
    case cmd::Cut:
    case cmd::FontMetrics:
    case cmd::OpenDrawer:
    case cmd::FnStatus:
    case cmd::FnSerial:
    case cmd::Service:
        return 6;
    case cmd::FieldStructure:
    case cmd::Feed:
        return 7;
    case cmd::SetExchange:
    case cmd::SetTime:
    case cmd::SetDate:
    case cmd::ConfirmDate:
        return 8;
    case cmd::ReadTable:
    case cmd::SetSerial:
        return 9;
    case cmd::SetLongSerial:
        return 12;
    case cmd::WriteTable:
        return -10;
    case cmd::PrintString:
        return -46;
    case cmd::PrintStringWithFont:
        return -47;
    case cmd::Sale:
        return -60;
    case cmd::CloseCheck:
        return -71;
    case cmd::PrintLine:
        return -8;
    case cmd::ExtendedRequest:
        return -2;
    default:
        return 0;
    }
}

std::string Utf8(std::string_view cp1251Text) {
    return cp1251::ToUnicode(cp1251Text).toStdString();
}

std::string HexText(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        text += digits[static_cast<std::uint8_t>(c) >> 4];
        text += digits[static_cast<std::uint8_t>(c) & 15];
    }
    return text;
}

bool OnOff(const std::string &word) {
    if (word == "on" || word == "1" || word == "yes" || word == "open" || word == "present")
        return true;
    if (word == "off" || word == "0" || word == "no" || word == "close" || word == "closed" ||
        word == "absent")
        return false;
    throw std::runtime_error("expected on or off: " + word);
}

long long Number(const std::string &word) {
    size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(word, &used, 0);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used != word.size() || word.empty())
        throw std::runtime_error("not a number: " + word);
    return value;
}

} // namespace

FiscalPrinter::FiscalPrinter(const FiscalProfile &profile)
    : FProfile(profile)
    , FClock(QDateTime::currentDateTime())
    , FClockSetAt(Clock::now())
    , FEklzPresent(profile.Eklz)
    , FDrivePresent(profile.FiscalDrive) {
    const auto *model = FindBuiltInModel(profile.Model);
    const std::uint64_t caps = model ? model->Capabilities : 0;
    const auto has = [caps](int bit) { return (caps >> bit) & 1u; };
    FSensorFlags = flag::DecimalPoint | flag::ReceiptLever;
    if (has(cap::Journal))
        FSensorFlags |= flag::JournalRoll | flag::JournalOptical | flag::JournalLever;
    const unsigned code = static_cast<unsigned>(std::max(0, CodeOfBaudRate(profile.BaudRate)));
    for (const unsigned port : {0u, 1u}) {
        FBaudCodes[port] = code;
        FTimeoutCodes[port] = 100;
    }
    BuildTables();
}

void FiscalPrinter::BuildTables() {
    const auto *model = FindBuiltInModel(FProfile.Model);
    const unsigned serialTable = model ? model->SerialTable : 18;
    const unsigned table19 = model ? model->Table19 : 19;
    const auto binary = [](int count) {
        std::vector<FieldDef> fields;
        for (int i = 1; i <= count; ++i)
            fields.push_back({"Поле " + std::to_string(i), false, 1});
        return fields;
    };
    for (const unsigned t : FProfile.Tables) {
        TableDef def;
        if (t == 1) {
            def = {"Тип и режим кассы", binary(36)};
        } else if (t == 14) {
            def = {"Карта SD", binary(1)};
        } else if (t == 16) {
            def = {"Сетевые адреса", binary(14)};
        } else if (t == serialTable) {
            def = {"Заводские номера",
                   {{"Заводской номер", true, 20},
                    {"РНМ", true, 20},
                    {"ИНН", true, 20},
                    {"Номер ФН", true, 20}}};
        } else if (t == table19) {
            def = {"Параметры ФН", {{"Адрес ОФД", true, 40}}};
        } else if (t == 21) {
            def = {"Сетевые интерфейсы", binary(9)};
            def.Fields[3] = {"TCP порт", false, 2};
            def.Fields[6] = {"Имя точки доступа", true, 32};
            def.Fields[7] = {"Пароль точки доступа", true, 32};
        } else if (t == 23) {
            def = {"Идентификация", binary(11)};
            def.Fields[10] = {"UIN", true, 32};
        } else {
            def = {"Таблица " + std::to_string(t), binary(4)};
        }
        FTables[t] = def;
    }
    if (FTables.count(16)) {
        const int address[] = {0, 10, 127, 0, 0, 1, 127, 0, 0, 1, 255, 0, 0, 0};
        for (unsigned f = 1; f <= 14; ++f)
            SetCellInt(16, f, address[f - 1]);
    }
    if (FTables.count(21)) {
        SetCellInt(21, 3, 1);
        SetCellInt(21, 4, DefaultTcpPort);
        SetCellInt(21, 5, FProfile.Wifi ? 1 : 0);
    }
    if (FTables.count(23))
        SetCell(23, 1, 11, "-");
    if (FTables.count(serialTable))
        SetCell(serialTable, 1, 4, FProfile.FiscalDrive ? FDriveSerial : std::string());
}

const FiscalPrinter::FieldDef *FiscalPrinter::Field(unsigned table, unsigned field) const {
    const auto t = FTables.find(table);
    if (t == FTables.end() || field == 0 || field > t->second.Fields.size())
        return nullptr;
    return &t->second.Fields[field - 1];
}

std::string FiscalPrinter::Cell(unsigned table, unsigned row, unsigned field) const {
    const FieldDef *def = Field(table, field);
    const auto found = FCells.find({table, row, field});
    std::string value = found == FCells.end() ? std::string() : found->second;
    value.resize(def ? def->Size : 0, '\0');
    return value;
}

void FiscalPrinter::SetCell(unsigned table, unsigned row, unsigned field, std::string value) {
    const FieldDef *def = Field(table, field);
    if (!def)
        throw std::runtime_error("no such table field");
    value.resize(def->Size, '\0');
    FCells[{table, row, field}] = value;
}

std::int64_t FiscalPrinter::CellInt(unsigned table, unsigned field) const {
    const std::string value = Cell(table, 1, field);
    TByteReader reader(value);
    return static_cast<std::int64_t>(reader.Uint(static_cast<int>(reader.Left())));
}

void FiscalPrinter::SetCellInt(unsigned table, unsigned field, std::int64_t value) {
    const FieldDef *def = Field(table, field);
    if (!def)
        throw std::runtime_error("no such table field");
    SetCell(
        table, 1, field,
        TByteWriter().Uint(static_cast<std::uint64_t>(value), static_cast<int>(def->Size)).Data());
}

int FiscalPrinter::TcpPort() const {
    return FTables.count(21) ? static_cast<int>(CellInt(21, 4)) : 0;
}

std::string FiscalPrinter::IpAddress() const {
    if (!FTables.count(16))
        return {};
    std::string address;
    for (unsigned f = 3; f <= 6; ++f)
        address += (f > 3 ? "." : "") + std::to_string(CellInt(16, f));
    return address;
}

QDateTime FiscalPrinter::DeviceClock(Clock::time_point now) const {
    if (!FClockRunning)
        return FClock;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - FClockSetAt);
    return FClock.addMSecs(elapsed.count());
}

unsigned FiscalPrinter::Mode() const {
    if (FTechResetMode)
        return 9;
    if (FDateToConfirm)
        return 6;
    if (FCheckOpen)
        return 8;
    return FShiftOpen ? 2 : 4;
}

unsigned FiscalPrinter::Submode(Clock::time_point now) const {
    if (!FReceiptPaper)
        return FPaperRanOut ? 2 : 1;
    if (FPaperRanOut)
        return 3;
    return Printing(now) ? 5 : 0;
}

std::uint16_t FiscalPrinter::Flags() const {
    std::uint16_t flags = FSensorFlags;
    const auto set = [&flags](std::uint16_t bit, bool on) {
        flags = static_cast<std::uint16_t>(on ? flags | bit : flags & ~bit);
    };
    set(flag::Eklz, FEklzPresent);
    set(flag::ReceiptRoll, FReceiptPaper && FProfile.Printer);
    set(flag::ReceiptOptical, FReceiptPaper && FProfile.Printer);
    return flags;
}

int FiscalPrinter::BaudRate(unsigned portNumber) const {
    const auto found = FBaudCodes.find(portNumber);
    return found == FBaudCodes.end() ? 0 : BaudRateOfCode(found->second);
}

void FiscalPrinter::ApplyPendingBaudRate() {
    if (FPendingBaud)
        FBaudCodes[FPendingBaud->first] = FPendingBaud->second;
    FPendingBaud.reset();
}

void FiscalPrinter::PowerCycle() {
    FSwitched = false;
    FPrintingUntil = {};
    FDateToConfirm.reset();
    FPendingBaud.reset();
    FBusyAnswers = 0;
    FSilentAnswers = 0;
}

std::optional<unsigned> FiscalPrinter::OperatorOf(std::uint32_t password) const {
    if (password == FProfile.SysPassword)
        return 30;
    if (password == FProfile.AdminPassword)
        return 29;
    if (password == FProfile.OperatorPassword)
        return 1;
    if (FProfile.OperatorPassword == 1 && password >= 1 && password <= 28)
        return password;
    return std::nullopt;
}

std::optional<int> FiscalPrinter::PrintRefusal() const {
    if (!FProfile.Printer)
        return err::NotSupported;
    if (FTechResetMode)
        return err::NotInMode;
    if (!FReceiptPaper)
        return err::NoReceiptPaper;
    if (FPaperRanOut)
        return err::WaitingContinuePrint;
    // Lines queue behind the one printing, as in the devices' print buffer; a busy printer
    // (80) is what the control interface's "busy" shows.
    return std::nullopt;
}

void FiscalPrinter::Print(const std::string &line, Clock::time_point now, int lines) {
    FRoll.push_back(line);
    FPrintingUntil = std::max(now, FPrintingUntil) + FLineTime * lines;
}

unsigned FiscalPrinter::FontWidth(unsigned font) const {
    const auto *model = FindBuiltInModel(FProfile.Model);
    const unsigned width = model ? (font == 2 ? model->Font2Width : model->Font1Width) : 0;
    return width ? width : 32;
}

std::string FiscalPrinter::Error(std::uint16_t command, int code) const {
    return TByteWriter().Command(command).U8(static_cast<unsigned>(code)).Data();
}

std::string FiscalPrinter::Ok(std::uint16_t command, std::string_view fields) const {
    return TByteWriter().Command(command).U8(0).Raw(fields).Data();
}

std::string FiscalPrinter::Execute(std::string_view data, unsigned portNumber,
                                   Clock::time_point now) {
    if (data.empty())
        return {};
    const std::uint16_t command = CommandOf(data);
    if (FSilentAnswers > 0) {
        --FSilentAnswers;
        return {};
    }
    if (data == std::string_view("\xFE\xFD\x00\x00\x00\x00", 6) && FJumper) {
        // The fiscal memory now listens as its bootloader; the device says nothing.
        FSwitched = true;
        return {};
    }
    if (FBusyAnswers > 0) {
        --FBusyAnswers;
        return Error(command, err::PrinterBusy);
    }
    const auto fault = FErrorFaults.find(command);
    if (fault != FErrorFaults.end()) {
        const int code = fault->second.Code;
        if (fault->second.Count > 0 && --fault->second.Count == 0)
            FErrorFaults.erase(fault);
        return Error(command, code);
    }
    if (IsTwoByteCommand(command) && !FProfile.FiscalDrive)
        return Error(0xFF, err::NotSupported);
    const int expected = ExpectedLength(command);
    if (expected == 0)
        return Error(command, err::NotSupported);
    if ((expected > 0 && data.size() != static_cast<size_t>(expected)) ||
        (expected < 0 && data.size() < static_cast<size_t>(-expected)))
        return Error(command, err::BadLength);
    return Answer(command, data, portNumber, now);
}

std::string FiscalPrinter::ShortStatus(Clock::time_point now) const {
    return Ok(cmd::ShortStatus, TByteWriter()
                                    .U8(30)
                                    .U16(Flags())
                                    .U8(Mode())
                                    .U8(Submode(now))
                                    .U8(0)
                                    .U8(FBatteryRaw)
                                    .U8(FSupplyRaw)
                                    .U8(0)
                                    .U8(0)
                                    .U8(0)
                                    .Uint(0, 3)
                                    .Data());
}

std::string FiscalPrinter::FullStatus(unsigned port, Clock::time_point now) const {
    const QDateTime clock = DeviceClock(now);
    const auto date = [](TByteWriter &w, const QDate &d) {
        w.U8(static_cast<unsigned>(d.day()))
            .U8(static_cast<unsigned>(d.month()))
            .U8(static_cast<unsigned>(d.year() - 2000));
    };
    TByteWriter w;
    w.U8(30).Raw("A2").U16(24310);
    date(w, QDate(2026, 10, 1));
    w.U8(1).U16(FDocumentNumber).U16(Flags()).U8(Mode()).U8(Submode(now)).U8(port);
    w.Raw("B1").U16(101);
    date(w, QDate(2025, 3, 14));
    date(w, clock.date());
    w.U8(static_cast<unsigned>(clock.time().hour()))
        .U8(static_cast<unsigned>(clock.time().minute()))
        .U8(static_cast<unsigned>(clock.time().second()));
    const unsigned fmFlags =
        (FProfile.FiscalDrive ? 0u : 1u) | (FSerial ? 4u : 0u) | (FShiftOpen ? 0x40u : 0u);
    w.U8(fmFlags)
        .U32(FSerial ? static_cast<std::uint32_t>(*FSerial) : 0xFFFFFFFFu)
        .U16(static_cast<unsigned>(FSessionNumber))
        .U16(static_cast<unsigned>(FFreeFmRecords))
        .U8(0)
        .U8(16)
        .Uint(0xFFFFFFFFFFFFull, 6);
    return Ok(cmd::FullStatus, w.Data());
}

std::string FiscalPrinter::SetClock(std::uint16_t command, std::string_view data,
                                    Clock::time_point now) {
    TByteReader r(data, 5);
    const int a = static_cast<int>(r.U8());
    const int b = static_cast<int>(r.U8());
    const int c = static_cast<int>(r.U8());
    const QDateTime current = DeviceClock(now);
    if (command == cmd::SetTime) {
        const QTime time(a, b, c);
        if (!time.isValid())
            return Error(command, err::BadParameters);
        FClock = QDateTime(current.date(), time);
        FClockSetAt = now;
        return Ok(command);
    }
    const QDate date(2000 + c, b, a);
    if (!date.isValid())
        return Error(command, 0x7D);
    if (command == cmd::SetDate) {
        FDateToConfirm = date;
        return Ok(command);
    }
    if (!FDateToConfirm)
        return Error(command, err::NotInMode);
    if (*FDateToConfirm != date)
        return Error(command, 0x7C);
    FClock = QDateTime(date, current.time());
    FClockSetAt = now;
    FDateToConfirm.reset();
    return Ok(command);
}

std::string FiscalPrinter::TableCommand(std::uint16_t command, std::string_view data) {
    TByteReader r(data, 5);
    const unsigned table = r.U8();
    if (!FTables.count(table))
        return Error(command, err::TableNotDefined);
    const TableDef &def = FTables.at(table);
    if (command == cmd::TableStructure) {
        return Ok(command, TByteWriter()
                               .Text(QString::fromStdString(def.Name), 40)
                               .U16(1)
                               .U8(static_cast<unsigned>(def.Fields.size()))
                               .Data());
    }
    if (command == cmd::FieldStructure) {
        const FieldDef *field = Field(table, r.U8());
        if (!field)
            return Error(command, err::BadParameters);
        TByteWriter w;
        w.Text(QString::fromStdString(field->Name), 40).U8(field->Text ? 1 : 0).U8(field->Size);
        if (!field->Text)
            w.Uint(0, static_cast<int>(field->Size))
                .Uint(~std::uint64_t{0}, static_cast<int>(field->Size));
        return Ok(command, w.Data());
    }
    const unsigned row = r.U16();
    const unsigned number = r.U8();
    const FieldDef *field = Field(table, number);
    if (!field || row != 1)
        return Error(command, err::BadParameters);
    if (command == cmd::ReadTable)
        return Ok(command, Cell(table, row, number));
    const std::string_view value = data.substr(9);
    if (value.size() > field->Size)
        return Error(command, 0x90);
    SetCell(table, row, number, std::string(value));
    if (table == 21 && number == 7 && FProfile.Wifi)
        SetCellInt(21, 5, value.find_first_not_of('\0') == std::string_view::npos ? 1 : 2);
    return Ok(command);
}

std::string FiscalPrinter::SaleCommand(std::uint16_t command, std::string_view data,
                                       Clock::time_point now) {
    if (const auto refusal = PrintRefusal())
        return Error(command, *refusal);
    TByteReader r(data, 5);
    if (command == cmd::Sale) {
        const std::uint64_t quantity = r.Uint(5);
        const std::uint64_t price = r.Uint(5);
        const unsigned department = r.U8();
        r.U32();
        const std::string name = Utf8(r.Raw(40));
        if (department > 16)
            return Error(command, 0x63);
        if (!FShiftOpen) {
            FShiftOpen = true;
            ++FDocumentNumber;
        }
        if (!FCheckOpen) {
            FCheckOpen = true;
            FCheckTotal = 0;
            ++FDocumentNumber;
        }
        FCheckTotal += quantity * price / 1000;
        Print(name, now);
        Print(std::to_string(quantity / 1000) + " X " + std::to_string(price / 100) + "." +
                  std::to_string(price % 100 / 10) + std::to_string(price % 10),
              now);
        return Ok(command, TByteWriter().U8(30).Data());
    }
    if (!FCheckOpen)
        return Error(command, 0x55);
    const std::uint64_t cash = r.Uint(5);
    if (cash < FCheckTotal)
        return Error(command, 0x45);
    const std::uint64_t change = cash - FCheckTotal;
    r.Raw(15 + 2 + 4);
    const std::string text = Utf8(r.Raw(40));
    if (!text.empty())
        Print(text, now);
    Print("ИТОГ " + std::to_string(FCheckTotal / 100), now);
    Print("СДАЧА " + std::to_string(change / 100), now);
    FCheckOpen = false;
    FCheckTotal = 0;
    return Ok(command, TByteWriter().U8(30).Uint(change, 5).Data());
}

std::string FiscalPrinter::Answer(std::uint16_t command, std::string_view data, unsigned port,
                                  Clock::time_point now) {
    const size_t pwdAt = IsTwoByteCommand(command) ? 2 : 1;
    const std::uint32_t password = data.size() >= pwdAt + 4 ? TByteReader(data, pwdAt).U32() : 0;
    const auto *model = FindBuiltInModel(FProfile.Model);
    const std::uint64_t caps = model ? model->Capabilities : 0;
    const auto op = OperatorOf(password);
    const auto needOperator = [&] { return !op; };
    const auto opAnswer = [&] { return Ok(command, TByteWriter().U8(*op).Data()); };

    switch (command) {
    case cmd::DeviceType:
        return Ok(command,
                  TByteWriter()
                      .U8(0)
                      .U8(0)
                      .U8(FProfile.ProtocolVersion)
                      .U8(FProfile.ProtocolSubversion)
                      .U8(FProfile.Model)
                      .U8(0)
                      .Raw(cp1251::FromUnicode(QString::fromStdString(FProfile.Description)))
                      .Data());
    case cmd::ExtendedRequest: {
        if (static_cast<std::uint8_t>(data[1]) == relay::OperationType && FRelay != nullptr) {
            const LineRelay::Reply reply = FRelay->Handle(data.substr(2));
            return reply.Code == 0 ? Ok(command, reply.Fields) : Error(command, reply.Code);
        }
        if (static_cast<std::uint8_t>(data[1]) != 1 || !FProfile.ModelParams)
            return Error(command, err::NotSupported);
        TModelCapabilities c;
        c.Bits = caps;
        c.Font1Width = model ? model->Font1Width : 0;
        c.Font2Width = model ? model->Font2Width : 0;
        c.InnDigits = 12;
        c.RnmDigits = 10;
        c.LongRnmDigits = 14;
        c.LongSerialDigits = 14;
        c.TaxPassword = FProfile.TaxPassword;
        c.SysPassword = FProfile.SysPassword;
        c.WirelessTable = model ? model->WirelessTable : 0;
        c.GraphicLineWidth = FProfile.PrintWidth / 8;
        return Ok(command, EncodeModelCapabilities(c));
    }
    case cmd::TechReset:
        if (!FTechResetMode && !FRamError)
            return Error(command, err::NotInMode);
        FTechResetMode = false;
        FRamError = false;
        FShiftOpen = false;
        FCheckOpen = false;
        return Ok(command);
    case cmd::Service: {
        const unsigned function = static_cast<std::uint8_t>(data[1]);
        if (function == 0xF3) {
            PowerCycle();
            return {};
        }
        if (function == 0xFD)
            return Ok(command);
        return Error(command, err::NotSupported);
    }
    case cmd::SetSerial:
    case cmd::SetLongSerial: {
        if (FSerial)
            return Error(command, err::SerialAlreadySet);
        TByteReader r(data, 5);
        const std::uint64_t serial = command == cmd::SetSerial ? r.U32() : r.Uint(7);
        if (serial > (command == cmd::SetSerial ? 99999999ull : 99999999999999ull))
            return Error(command, err::BadParameters);
        FSerial = serial;
        if (model && FTables.count(model->SerialTable))
            SetCell(model->SerialTable, 1, 1, std::to_string(serial));
        return Ok(command);
    }
    default:
        break;
    }

    // Commands of the system administrator.
    switch (command) {
    case cmd::SetExchange:
    case cmd::GetExchange:
    case cmd::WriteTable:
    case cmd::ReadTable:
    case cmd::TableStructure:
    case cmd::FieldStructure:
    case cmd::SetTime:
    case cmd::SetDate:
    case cmd::ConfirmDate:
    case cmd::EklzSerial:
    case cmd::EklzVersion:
    case cmd::FnStatus:
    case cmd::FnSerial:
        if (!IsSysPassword(password))
            return Error(command, err::WrongPassword);
        break;
    default:
        if (needOperator())
            return Error(command, err::WrongPassword);
        break;
    }

    switch (command) {
    case cmd::ShortStatus:
        if (FRamError)
            return Error(command, err::RamError);
        return ShortStatus(now);
    case cmd::FullStatus:
        return FullStatus(port, now);
    case cmd::Beep:
    case cmd::InterruptTest:
        return opAnswer();
    case cmd::SetExchange: {
        TByteReader r(data, 5);
        const unsigned target = r.U8();
        const unsigned code = r.U8();
        const unsigned timeoutCode = r.U8();
        if (target == TcpPortNumber)
            return Ok(command);
        if (!FBaudCodes.count(target) || code > 9)
            return Error(command, err::BadParameters);
        FPendingBaud = std::make_pair(target, code);
        FTimeoutCodes[target] = timeoutCode;
        return Ok(command);
    }
    case cmd::GetExchange: {
        const unsigned target = static_cast<std::uint8_t>(data[5]);
        if (!FBaudCodes.count(target))
            return Error(command, err::BadParameters);
        return Ok(command, TByteWriter().U8(FBaudCodes[target]).U8(FTimeoutCodes[target]).Data());
    }
    case cmd::WriteTable:
    case cmd::ReadTable:
    case cmd::TableStructure:
    case cmd::FieldStructure:
        return TableCommand(command, data);
    case cmd::SetTime:
    case cmd::SetDate:
    case cmd::ConfirmDate:
        return SetClock(command, data, now);
    case cmd::PrintString:
    case cmd::PrintStringWithFont: {
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        TByteReader r(data, 6);
        const unsigned font = command == cmd::PrintStringWithFont ? r.U8() : 1;
        if (font < 1 || font > FontCount)
            return Error(command, err::BadParameters);
        std::string text = Utf8(r.Raw(40));
        const QString unicode =
            QString::fromStdString(text).left(static_cast<int>(FontWidth(font)));
        Print(unicode.toStdString(), now);
        return opAnswer();
    }
    case cmd::Feed: {
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        const unsigned lines = static_cast<std::uint8_t>(data[6]);
        if (lines == 0)
            return Error(command, err::BadParameters);
        Print("[feed " + std::to_string(lines) + "]", now, static_cast<int>(lines));
        return opAnswer();
    }
    case cmd::Cut: {
        if (!((caps >> cap::Cutter) & 1u))
            return Error(command, err::NotSupported);
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        Print(data[5] ? "[cut partial]" : "[cut full]", now);
        return opAnswer();
    }
    case cmd::FontMetrics: {
        const unsigned font = static_cast<std::uint8_t>(data[5]);
        if (!FProfile.Printer)
            return Error(command, err::NotSupported);
        if (font < 1 || font > FontCount)
            return Error(command, err::BadParameters);
        return Ok(command, TByteWriter()
                               .U16(FProfile.PrintWidth)
                               .U8(FProfile.PrintWidth / FontWidth(font))
                               .U8(FProfile.CharHeight * font)
                               .U8(FontCount)
                               .Data());
    }
    case cmd::OpenDrawer:
        if (static_cast<std::uint8_t>(data[5]) > 1)
            return Error(command, err::BadParameters);
        FSensorFlags |= flag::DrawerOpen;
        return opAnswer();
    case cmd::ZReport: {
        if (*op < 29)
            return Error(command, err::WrongPassword);
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        if (FCheckOpen)
            return Error(command, 0x4A);
        if (!FShiftOpen)
            return Error(command, 0x2C);
        FShiftOpen = false;
        ++FSessionNumber;
        --FFreeFmRecords;
        ++FDocumentNumber;
        Print("СУТОЧНЫЙ ОТЧЕТ С ГАШЕНИЕМ", now, 10);
        Print("СМЕНА " + std::to_string(FSessionNumber), now);
        return opAnswer();
    }
    case cmd::OpenSession: {
        if (FTechResetMode)
            return Error(command, err::NotInMode);
        if (FShiftOpen)
            return Error(command, 0x15);
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        FShiftOpen = true;
        ++FDocumentNumber;
        Print("ОТКРЫТИЕ СМЕНЫ " + std::to_string(FSessionNumber + 1), now);
        return opAnswer();
    }
    case cmd::Sale:
    case cmd::CloseCheck:
        return SaleCommand(command, data, now);
    case cmd::CancelCheck:
        if (!FCheckOpen)
            return Error(command, 0x55);
        FCheckOpen = false;
        FCheckTotal = 0;
        Print("ЧЕК АННУЛИРОВАН", now);
        return opAnswer();
    case cmd::ContinuePrint:
        if (FReceiptPaper)
            FPaperRanOut = false;
        return opAnswer();
    case cmd::ReadLongSerial:
        return Ok(command, TByteWriter()
                               .Uint(FSerial ? *FSerial : LongNumberUnset, 7)
                               .Uint(LongNumberUnset, 7)
                               .Data());
    case cmd::EklzSerial:
        if (!FEklzPresent)
            return Error(command, err::EklzMissing);
        return Ok(command, TByteWriter().Uint(1234567890, 5).Data());
    case cmd::EklzVersion:
        if (!FEklzPresent)
            return Error(command, err::EklzMissing);
        return Ok(command, TByteWriter().Text(QStringLiteral("ЭКЛЗ 02.04.08"), 18).Data());
    case cmd::PrintLine: {
        if (!FProfile.LinePrint)
            return Error(command, err::NotSupported);
        const bool hasFlags = (caps >> cap::LinePrintFlags) & 1u;
        TByteReader r(data, 5);
        const unsigned repeats = r.U16();
        if (hasFlags)
            r.U8();
        const std::string_view dots = data.substr(hasFlags ? 8 : 7);
        if (repeats < 1 || repeats > 1200 || dots.size() > FProfile.PrintWidth / 8)
            return Error(command, err::BadParameters);
        if (const auto refusal = PrintRefusal())
            return Error(command, *refusal);
        Print("[line x" + std::to_string(repeats) + " " + HexText(dots) + "]", now,
              static_cast<int>(repeats / 24 + 1));
        return opAnswer();
    }
    case cmd::FnStatus:
    case cmd::FnSerial: {
        if (!FDrivePresent)
            return Error(command, err::DriveNotAnswering);
        std::string serial = FDriveSerial;
        serial.resize(16, ' ');
        if (command == cmd::FnSerial)
            return Ok(command, serial);
        const QDateTime clock = DeviceClock(now);
        return Ok(command, TByteWriter()
                               .U8(FDriveLifeState)
                               .U8(0)
                               .U8(0)
                               .U8(FShiftOpen ? 1 : 0)
                               .U8(0)
                               .U8(static_cast<unsigned>(clock.date().year() - 2000))
                               .U8(static_cast<unsigned>(clock.date().month()))
                               .U8(static_cast<unsigned>(clock.date().day()))
                               .U8(static_cast<unsigned>(clock.time().hour()))
                               .U8(static_cast<unsigned>(clock.time().minute()))
                               .Raw(serial)
                               .U32(FDocumentNumber)
                               .Data());
    }
    default:
        return Error(command, err::NotSupported);
    }
}

std::string FiscalPrinter::Control(const std::vector<std::string> &words, Clock::time_point now) {
    if (words.empty())
        throw std::runtime_error("empty control command");
    const std::string &what = words[0];
    const auto arg = [&words](size_t i) -> const std::string & {
        if (i >= words.size())
            throw std::runtime_error("missing argument");
        return words[i];
    };
    const auto setFlag = [this](std::uint16_t bit, bool on) {
        FSensorFlags = static_cast<std::uint16_t>(on ? FSensorFlags | bit : FSensorFlags & ~bit);
    };
    if (what == "state") {
        return "model " + std::to_string(FProfile.Model) + " mode " + std::to_string(Mode()) +
               " submode " + std::to_string(Submode(now)) + " flags " + std::to_string(Flags()) +
               " session " + std::to_string(FSessionNumber) + " serial " +
               (FSerial ? std::to_string(*FSerial) : std::string("none")) + " baud " +
               std::to_string(BaudRate(0)) + " clock " +
               DeviceClock(now).toString(Qt::ISODate).toStdString();
    }
    if (what == "shift") {
        FShiftOpen = OnOff(arg(1));
        if (!FShiftOpen)
            FCheckOpen = false;
    } else if (what == "check") {
        FCheckOpen = OnOff(arg(1));
        FShiftOpen = FShiftOpen || FCheckOpen;
        FCheckTotal = 0;
    } else if (what == "techreset") {
        FTechResetMode = OnOff(arg(1));
    } else if (what == "ramerror") {
        FRamError = OnOff(arg(1));
    } else if (what == "clock") {
        if (arg(1) == "run" || arg(1) == "stop") {
            FClock = DeviceClock(now);
            FClockSetAt = now;
            FClockRunning = arg(1) == "run";
        } else if (arg(1) == "set") {
            const QDateTime value =
                QDateTime::fromString(QString::fromStdString(arg(2)), Qt::ISODate);
            if (!value.isValid())
                throw std::runtime_error("bad date and time: " + arg(2));
            FClock = value;
            FClockSetAt = now;
        } else {
            throw std::runtime_error("clock run|stop|set <iso date-time>");
        }
    } else if (what == "table") {
        const auto table = static_cast<unsigned>(Number(arg(1)));
        const auto field = static_cast<unsigned>(Number(arg(2)));
        const FieldDef *def = Field(table, field);
        if (!def)
            throw std::runtime_error("no such table field");
        if (words.size() == 3) {
            const std::string value = Cell(table, 1, field);
            return def->Text ? Utf8(value) : std::to_string(CellInt(table, field));
        }
        if (def->Text)
            SetCell(table, 1, field, cp1251::FromUnicode(QString::fromStdString(arg(3))));
        else
            SetCellInt(table, field, Number(arg(3)));
    } else if (what == "flags") {
        FSensorFlags = static_cast<std::uint16_t>(Number(arg(1)));
    } else if (what == "sensor") {
        const auto bit = Number(arg(1));
        if (bit < 0 || bit > 15)
            throw std::runtime_error("sensor bit 0..15");
        setFlag(static_cast<std::uint16_t>(1u << bit), OnOff(arg(2)));
    } else if (what == "drawer") {
        setFlag(flag::DrawerOpen, OnOff(arg(1)));
    } else if (what == "cover") {
        setFlag(flag::CoverOpen, OnOff(arg(1)));
    } else if (what == "paper") {
        const bool present = arg(1) == "in";
        if (!present && arg(1) != "out")
            throw std::runtime_error("paper in|out");
        if (!present && Printing(now))
            FPaperRanOut = true;
        FReceiptPaper = present;
    } else if (what == "eklz") {
        FEklzPresent = OnOff(arg(1));
    } else if (what == "fn") {
        if (!FProfile.FiscalDrive)
            throw std::runtime_error("this model has no fiscal drive");
        if (arg(1) == "life") {
            FDriveLifeState = static_cast<unsigned>(Number(arg(2)));
        } else if (arg(1) == "serial") {
            FDriveSerial = arg(2).substr(0, 16);
            const auto *model = FindBuiltInModel(FProfile.Model);
            if (model && FTables.count(model->SerialTable))
                SetCell(model->SerialTable, 1, 4, FDriveSerial);
        } else {
            FDrivePresent = OnOff(arg(1));
        }
    } else if (what == "serial") {
        if (arg(1) == "clear")
            FSerial.reset();
        else
            FSerial = static_cast<std::uint64_t>(Number(arg(1)));
    } else if (what == "baud") {
        const int code = CodeOfBaudRate(static_cast<int>(Number(arg(2))));
        const auto target = static_cast<unsigned>(Number(arg(1)));
        if (code < 0 || !FBaudCodes.count(target))
            throw std::runtime_error("baud <port 0|1> <rate>");
        FBaudCodes[target] = static_cast<unsigned>(code);
    } else if (what == "roll") {
        if (words.size() == 1) {
            std::string all;
            for (const auto &line : FRoll)
                all += line + "\n";
            return all;
        }
        if (arg(1) == "count")
            return std::to_string(FRoll.size());
        if (arg(1) == "clear") {
            FRoll.clear();
        } else if (arg(1) == "line") {
            const auto index = Number(arg(2));
            if (index < 0 || static_cast<size_t>(index) >= FRoll.size())
                throw std::runtime_error("no such roll line");
            return FRoll[static_cast<size_t>(index)];
        } else {
            throw std::runtime_error("roll [count|clear|line <n>]");
        }
    } else if (what == "busy") {
        FBusyAnswers = static_cast<int>(Number(arg(1)));
    } else if (what == "noanswer") {
        FSilentAnswers = static_cast<int>(Number(arg(1)));
    } else if (what == "error") {
        const auto command = static_cast<std::uint16_t>(Number(arg(1)));
        const int code = static_cast<int>(Number(arg(2)));
        if (code == 0)
            FErrorFaults.erase(command);
        else
            FErrorFaults[command] = {code,
                                     words.size() > 3 ? static_cast<int>(Number(arg(3))) : -1};
    } else if (what == "voltage") {
        const auto raw = Number(arg(2));
        if (raw < 0 || raw > 255 || (arg(1) != "battery" && arg(1) != "supply"))
            throw std::runtime_error("voltage battery|supply <raw 0..255>");
        (arg(1) == "battery" ? FBatteryRaw : FSupplyRaw) = static_cast<unsigned>(raw);
    } else if (what == "linetime") {
        FLineTime = std::chrono::milliseconds(Number(arg(1)));
    } else if (what == "jumper") {
        FJumper = OnOff(arg(1));
    } else if (what == "power") {
        PowerCycle();
    } else {
        throw std::runtime_error("unknown fiscal device command: " + what);
    }
    return "ok";
}

} // namespace sim::fiscal
