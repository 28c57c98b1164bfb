#include "driver/ferrun.h"

#include "core/errors.h"
#include "driver/cp1251.h"
#include "driver/ferrunproperties.h"
#include "driver/transports.h"

#include <QByteArray>
#include <cmath>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using namespace devproto;

namespace {

std::mutex DefaultFactoryLock;
TFerrun::TTransportFactory DefaultFactory;

constexpr auto StatusPollInterval = 50ms;
constexpr int MaxContinuePrintTries = 3;

std::unique_ptr<IByteTransport> TcpTransportFor(const TFerrun &driver) {
    const QString host = driver.ComputerName.isEmpty() ? driver.IPAddress : driver.ComputerName;
    const auto connectTimeout = std::max(std::chrono::milliseconds(driver.Timeout), 1000ms);
    return std::make_unique<TTcpTransport>(host.toStdString(), driver.TCPPort, connectTimeout);
}

std::uint64_t Kopecks(double roubles) {
    return static_cast<std::uint64_t>(std::llround(std::max(0.0, roubles) * 100.0));
}

QString LongNumberText(std::uint64_t number) {
    return number == LongNumberUnset ? QString() : QString::number(number);
}

unsigned LineBreaks(std::string_view text) {
    unsigned count = 0;
    for (size_t at = text.find("\r\n"); at != std::string_view::npos;
         at = text.find("\r\n", at + 2))
        ++count;
    return count;
}

} // namespace

TFerrun::TFerrun() {
    std::lock_guard lock(DefaultFactoryLock);
    FFactory = DefaultFactory;
}

TFerrun::~TFerrun() {
    Close();
}

void TFerrun::SetDefaultTransportFactory(TTransportFactory factory) {
    std::lock_guard lock(DefaultFactoryLock);
    DefaultFactory = std::move(factory);
}

TFerrun::TConnectionKey TFerrun::CurrentKey() const {
    TConnectionKey key;
    key.Type = ConnectionType;
    if (ConnectionType == 6) {
        key.Host = ComputerName.isEmpty() ? IPAddress : ComputerName;
        key.Port = TCPPort;
    } else {
        key.ComNumber = ComNumber;
    }
    return key;
}

bool TFerrun::IsConnected() const {
    return FTransport && FTransport->IsOpen();
}

void TFerrun::ApplyLinkSettings() {
    TLinkSettings settings;
    settings.ByteTimeout = std::max(std::chrono::milliseconds(Timeout), 20ms);
    settings.MaxCommandSendCount = std::max(1, MaxCommandSendCount);
    settings.MaxAnswerReadCount = std::max(1, MaxAnswerReadCount);
    FLink->SetSettings(settings);
}

int TFerrun::Open() {
    if (IsConnected() && FOpenKey == CurrentKey()) {
        if (FOpenBaudCode != BaudRate) {
            if (!FTransport->SetBaudRate(BaudRateOfCode(static_cast<unsigned>(BaudRate))))
                return linkresult::PortUnavailable;
            FOpenBaudCode = BaudRate;
        }
        ApplyLinkSettings();
        return 0;
    }
    Close();
    if (ConnectionType == 6)
        FTransport = TcpTransportFor(*this);
    else if (FFactory)
        FTransport = FFactory(*this);
    else
        FTransport = std::make_unique<TSerialTransport>(ComNumber);
    if (!FTransport || BaudRateOfCode(static_cast<unsigned>(BaudRate)) < 0)
        return linkresult::PortUnavailable;
    if (!FTransport->Open() ||
        !FTransport->SetBaudRate(BaudRateOfCode(static_cast<unsigned>(BaudRate)))) {
        FTransport.reset();
        return linkresult::PortUnavailable;
    }
    FOpenKey = CurrentKey();
    FOpenBaudCode = BaudRate;
    FLink = std::make_unique<THostLink>(*FTransport);
    ApplyLinkSettings();
    return 0;
}

void TFerrun::Close() {
    FLink.reset();
    if (FTransport)
        FTransport->Close();
    FTransport.reset();
    FLocked = false;
    FFiscalDrive = false;
    FModelParams.reset();
    FCapabilities.reset();
    FFields.clear();
    FHostPort.reset();
}

int TFerrun::Finish(int code) {
    ResultCode = code;
    ResultCodeDescription = devproto::ResultCodeDescription(code, FFiscalDrive);
    if (code != 0)
        FLogger.Debug(QStringLiteral("Result %1, %2").arg(code).arg(ResultCodeDescription));
    return code;
}

int TFerrun::Execute(const std::string &request, std::string &answer) {
    if (FCancelled)
        return ferrunresult::Cancelled;
    int rc = Open();
    if (rc != 0)
        return rc;
    const std::uint16_t command = CommandOf(request);
    const auto answerTimeout = std::max(AnswerTimeout(command), std::chrono::milliseconds(Timeout));
    rc = FLink->Exchange(request, answer, answerTimeout);
    if (rc != 0) {
        if (!FTransport->IsOpen())
            Close();
        return rc;
    }
    return AnswerResult(answer, command);
}

int TFerrun::Simple(const std::string &request) {
    std::string answer;
    return Finish(Execute(request, answer));
}

unsigned TFerrun::Flags() const {
    return PrintFlags(UseJournalRibbon, UseReceiptRibbon, UseSlipDocument);
}

int TFerrun::Connect() {
    int rc = Open();
    if (rc == 0) {
        rc = FLink->CheckLink();
        if (rc != 0 && !FLocked)
            Close();
    }
    return Finish(rc);
}

int TFerrun::Disconnect() {
    FCancelled = false;
    Close();
    return Finish(0);
}

int TFerrun::LockPort() {
    const int rc = Open();
    FLocked = rc == 0;
    return Finish(rc);
}

int TFerrun::UnlockPort() {
    Close();
    return Finish(0);
}

int TFerrun::GetDeviceMetrics() {
    std::string answer;
    int rc = Execute(EncodeNoPassword(cmd::DeviceType), answer);
    if (rc == 0) {
        const auto m = DecodeDeviceMetrics(answer);
        if (!m)
            return Finish(linkresult::BadAnswer);
        if (UModel != static_cast<int>(m->Model))
            FModelParams.reset();
        UModel = static_cast<int>(m->Model);
        UDescription = m->Name;
        UMajorProtoVersion = static_cast<int>(m->ProtocolVersion);
        UMinorProtoVersion = static_cast<int>(m->ProtocolSubversion);
        ULanguage = static_cast<int>(m->Language);
        const auto *model = FindBuiltInModel(m->Model);
        FFiscalDrive = model && model->FiscalDrive;
    }
    return Finish(rc);
}

int TFerrun::GetECRStatus() {
    int rc = 0;
    const auto s = Query(EncodePasswordOnly(cmd::FullStatus, Pwd()), DecodeFullStatus, rc);
    if (!s)
        return Finish(rc);
    OperatorNumber = static_cast<int>(s->Operator);
    ECRSoftVersion = s->SoftVersion;
    ECRBuild = static_cast<int>(s->SoftBuild);
    ECRSoftDate = s->SoftDate;
    ECRFlags = s->Flags;
    ECRMode = static_cast<int>(s->Mode & 0x0F);
    ECRModeStatus = static_cast<int>(s->Mode >> 4);
    ECRAdvancedMode = static_cast<int>(s->Submode);
    ECRModeDescription = ModeDescription(s->Mode);
    ECRAdvancedModeDescription = AdvancedModeDescription(s->Submode);
    JournalRibbonIsPresent = s->Flags & flag::JournalRoll;
    ReceiptRibbonIsPresent = s->Flags & flag::ReceiptRoll;
    EKLZIsPresent = s->Flags & flag::Eklz;
    FMSoftVersion = s->FmSoftVersion;
    FMBuild = static_cast<int>(s->FmBuild);
    FMSoftDate = s->FmSoftDate;
    Date = s->Date;
    Time = s->Time;
    SerialNumber = s->Serial == 0xFFFFFFFF ? QString() : QString::number(s->Serial);
    SessionNumber = static_cast<int>(s->SessionNumber);
    FreeRecordInFM = static_cast<int>(s->FreeFmRecords);
    FHostPort = s->Port;
    return Finish(0);
}

int TFerrun::GetShortECRStatus() {
    int rc = 0;
    const auto s = Query(EncodePasswordOnly(cmd::ShortStatus, Pwd()), DecodeShortStatus, rc);
    if (!s)
        return Finish(rc);
    OperatorNumber = static_cast<int>(s->Operator);
    ECRFlags = s->Flags;
    ECRMode = static_cast<int>(s->Mode & 0x0F);
    ECRModeStatus = static_cast<int>(s->Mode >> 4);
    ECRAdvancedMode = static_cast<int>(s->Submode);
    ECRModeDescription = ModeDescription(s->Mode);
    ECRAdvancedModeDescription = AdvancedModeDescription(s->Submode);
    BatteryVoltage = BatteryVolts(s->BatteryRaw);
    PowerSourceVoltage = PowerVolts(s->PowerRaw);
    return Finish(0);
}

int TFerrun::WaitForPrinting() {
    const auto deadline = std::chrono::steady_clock::now() + FPrintWaitLimit;
    int continueTries = 0;
    for (;;) {
        const int rc = GetShortECRStatus();
        if (rc != 0 && rc != err::PrinterBusy)
            return rc;
        if (rc == 0) {
            const bool reportPrinting = ECRMode == 11 || ECRMode == 12 || ECRMode == 14;
            if (ECRAdvancedMode == 0 && !reportPrinting)
                return Finish(0);
            if (ECRAdvancedMode == 1 || ECRAdvancedMode == 2)
                return Finish(err::NoReceiptPaper);
            if (ECRAdvancedMode == 3) {
                if (++continueTries > MaxContinuePrintTries)
                    return Finish(err::WaitingContinuePrint);
                ContinuePrint();
            }
        }
        if (FCancelled)
            return Finish(ferrunresult::Cancelled);
        if (std::chrono::steady_clock::now() >= deadline)
            return Finish(ferrunresult::PrintTimeout);
        std::this_thread::sleep_for(StatusPollInterval);
    }
}

int TFerrun::ContinuePrint() {
    return Simple(EncodePasswordOnly(cmd::ContinuePrint, Pwd()));
}

int TFerrun::ResetECR() {
    int rc = GetShortECRStatus();
    if (rc != 0)
        return rc;
    if (ECRMode == 8) {
        rc = CancelCheck();
        if (rc < 0)
            return rc;
    }
    if (ECRAdvancedMode == 3) {
        rc = ContinuePrint();
        if (rc < 0)
            return rc;
    }
    return WaitForPrinting();
}

int TFerrun::FieldInfo(unsigned table, unsigned field, TFieldStructure &info) {
    const auto key = std::make_pair(table, field);
    const auto cached = FFields.find(key);
    if (cached != FFields.end()) {
        info = cached->second;
        return 0;
    }
    std::string answer;
    const int rc = Execute(EncodeFieldStructure(Pwd(), table, field), answer);
    if (rc != 0)
        return rc;
    const auto decoded = DecodeFieldStructure(answer);
    if (!decoded)
        return linkresult::BadAnswer;
    info = *decoded;
    FFields[key] = info;
    return 0;
}

int TFerrun::ReadTable() {
    const auto table = static_cast<unsigned>(TableNumber);
    const auto field = static_cast<unsigned>(FieldNumber);
    TFieldStructure info;
    int rc = FieldInfo(table, field, info);
    if (rc != 0)
        return Finish(rc);
    std::string answer;
    rc = Execute(EncodeReadTable(Pwd(), table, static_cast<unsigned>(RowNumber), field), answer);
    if (rc != 0)
        return Finish(rc);
    const std::string_view value = TableValue(answer);
    if (value.size() < info.Size)
        return Finish(linkresult::BadAnswer);
    TByteReader reader(value);
    if (info.IsText)
        ValueOfFieldString = reader.Text(info.Size);
    else
        ValueOfFieldInteger = static_cast<qint64>(reader.Uint(static_cast<int>(info.Size)));
    return Finish(0);
}

int TFerrun::WriteTable() {
    const auto table = static_cast<unsigned>(TableNumber);
    const auto field = static_cast<unsigned>(FieldNumber);
    TFieldStructure info;
    const int rc = FieldInfo(table, field, info);
    if (rc != 0)
        return Finish(rc);
    TByteWriter value;
    if (info.IsText)
        value.Text(ValueOfFieldString, info.Size);
    else
        value.Uint(static_cast<std::uint64_t>(ValueOfFieldInteger), static_cast<int>(info.Size));
    return Simple(
        EncodeWriteTable(Pwd(), table, static_cast<unsigned>(RowNumber), field, value.Data()));
}

int TFerrun::EnsureModelParams() {
    if (FModelParams)
        return 0;
    std::string answer;
    int rc = Execute(EncodeNoPassword(cmd::DeviceType), answer);
    if (rc != 0)
        return rc;
    const auto metrics = DecodeDeviceMetrics(answer);
    if (!metrics)
        return linkresult::BadAnswer;
    rc = Execute(EncodeExtendedRequest(1), answer);
    if (rc < 0)
        return rc;
    // A device without F7h answers an error: the built-in table alone then.
    FCapabilities = rc == 0 ? DecodeModelCapabilities(answer) : std::nullopt;
    const auto *model = FindBuiltInModel(metrics->Model);
    FFiscalDrive = model && model->FiscalDrive;
    FModelParams = BuildModelParams(model, FCapabilities);
    return 0;
}

int TFerrun::ReadModelParamValue() {
    const int rc = EnsureModelParams();
    if (rc != 0)
        return Finish(rc);
    const auto found = FModelParams->find(ModelParamNumber);
    if (found == FModelParams->end())
        return Finish(ferrunresult::NoModelParam);
    ModelParamValue = found->second;
    return Finish(0);
}

int TFerrun::GetExchangeParam() {
    int rc = 0;
    const auto p =
        Query(EncodeGetExchange(Pwd(), static_cast<unsigned>(PortNumber)), DecodeExchangeParam, rc);
    if (!p)
        return Finish(rc);
    BaudRate = static_cast<int>(p->BaudCode);
    FByteTimeoutCode = p->TimeoutCode;
    return Finish(0);
}

int TFerrun::SetExchangeParam() {
    if (BaudRateOfCode(static_cast<unsigned>(BaudRate)) < 0)
        return Finish(ferrunresult::BadProperty);
    const int newCode = BaudRate;
    // The device still answers at the old rate; the new one applies after the answer.
    const int linkCode = IsConnected() ? FOpenBaudCode : BaudRate;
    BaudRate = linkCode;
    const int rc = Simple(EncodeSetExchange(Pwd(), static_cast<unsigned>(PortNumber),
                                            static_cast<unsigned>(newCode), FByteTimeoutCode));
    const bool ourPort =
        ConnectionType == 0 && (!FHostPort || *FHostPort == static_cast<unsigned>(PortNumber));
    BaudRate = rc == 0 && ourPort ? newCode : linkCode;
    return rc;
}

int TFerrun::SetDate() {
    return Simple(EncodeDate(cmd::SetDate, Pwd(), Date));
}

int TFerrun::ConfirmDate() {
    return Simple(EncodeDate(cmd::ConfirmDate, Pwd(), Date));
}

int TFerrun::SetTime() {
    return Simple(EncodeSetTime(Pwd(), Time));
}

int TFerrun::ResetSettings() {
    return Simple(EncodeNoPassword(cmd::TechReset));
}

int TFerrun::InterruptTest() {
    return Simple(EncodePasswordOnly(cmd::InterruptTest, Pwd()));
}

int TFerrun::InterruptDataStream() {
    return Finish(0);
}

int TFerrun::SetPointPosition() {
    return Finish(0);
}

int TFerrun::CancelCheck() {
    return Simple(EncodePasswordOnly(cmd::CancelCheck, Pwd()));
}

int TFerrun::PrintReportWithCleaning() {
    return Simple(EncodePasswordOnly(cmd::ZReport, Pwd()));
}

int TFerrun::PrintString() {
    return Simple(EncodePrintString(Pwd(), Flags(), StringForPrinting));
}

int TFerrun::PrintStringWithFont() {
    return Simple(EncodePrintStringWithFont(Pwd(), Flags(), static_cast<unsigned>(FontType),
                                            StringForPrinting));
}

int TFerrun::PrintLine() {
    const QByteArray hex = LineDataHex.toLatin1();
    QByteArray dots = QByteArray::fromHex(hex);
    if (hex.size() % 2 != 0 || dots.toHex().compare(hex, Qt::CaseInsensitive) != 0 ||
        LineNumber < 1 || LineNumber > 0xFFFF)
        return Finish(ferrunresult::BadProperty);
    if (LineSwapBytes)
        for (qsizetype i = 0; i + 1 < dots.size(); i += 2)
            std::swap(dots[i], dots[i + 1]);
    const int rc = EnsureModelParams();
    if (rc < 0)
        return Finish(rc);
    std::optional<unsigned> flags;
    if (FCapabilities && FCapabilities->Has(cap::LinePrintFlags))
        flags = Flags();
    return Simple(
        EncodePrintLine(Pwd(), static_cast<unsigned>(LineNumber), flags,
                        std::string_view(dots.constData(), static_cast<size_t>(dots.size()))));
}

int TFerrun::FeedDocument() {
    return Simple(EncodeFeed(Pwd(), Flags(), static_cast<unsigned>(StringQuantity)));
}

int TFerrun::CutCheck() {
    return Simple(EncodeCut(Pwd(), CutType));
}

int TFerrun::GetFontMetrics() {
    int rc = 0;
    const auto f =
        Query(EncodeFontMetrics(Pwd(), static_cast<unsigned>(FontType)), DecodeFontMetrics, rc);
    if (!f)
        return Finish(rc);
    PrintWidth = static_cast<int>(f->PrintWidth);
    CharWidth = static_cast<int>(f->CharWidth);
    CharHeight = static_cast<int>(f->CharHeight);
    return Finish(0);
}

int TFerrun::OpenSession() {
    return Simple(EncodePasswordOnly(cmd::OpenSession, Pwd()));
}

int TFerrun::Sale() {
    const auto quantity = static_cast<std::uint64_t>(std::llround(std::max(0.0, Quantity) * 1000));
    return Simple(EncodeSale(Pwd(), quantity, Kopecks(Price), static_cast<unsigned>(Department),
                             StringForPrinting));
}

int TFerrun::CloseCheck() {
    int rc = 0;
    const auto change =
        Query(EncodeCloseCheck(Pwd(), Kopecks(Summ1), StringForPrinting), DecodeChange, rc);
    if (!change)
        return Finish(rc);
    Change = static_cast<double>(*change) / 100.0;
    return Finish(0);
}

int TFerrun::OpenDrawer() {
    return Simple(EncodeOpenDrawer(Pwd(), static_cast<unsigned>(DrawerNumber)));
}

int TFerrun::SetSerialNumber() {
    bool ok = false;
    const qulonglong serial = SerialNumber.trimmed().toULongLong(&ok);
    if (!ok || serial > 99999999)
        return Finish(ferrunresult::BadProperty);
    return Simple(EncodeSetSerial(static_cast<std::uint32_t>(serial)));
}

int TFerrun::SetLongSerialNumber() {
    bool ok = false;
    const qulonglong serial = SerialNumber.trimmed().toULongLong(&ok);
    if (!ok || serial > 99999999999999ull)
        return Finish(ferrunresult::BadProperty);
    return Simple(EncodeSetLongSerial(serial));
}

int TFerrun::ReadSerialNumber() {
    int rc = 0;
    const auto s = Query(EncodePasswordOnly(cmd::ReadLongSerial, Pwd()), DecodeLongSerial, rc);
    if (!s)
        return Finish(rc);
    SerialNumber = LongNumberText(s->Serial);
    return Finish(0);
}

int TFerrun::FNGetStatus() {
    int rc = 0;
    const auto s = Query(EncodePasswordOnly(cmd::FnStatus, Pwd()), DecodeFnStatus, rc);
    if (!s)
        return Finish(rc);
    FNLifeState = static_cast<int>(s->LifeState);
    FNCurrentDocument = static_cast<int>(s->CurrentDocument);
    FNSessionState = static_cast<int>(s->SessionState);
    SerialNumber = s->Serial;
    Date = s->Date;
    Time = s->Time;
    return Finish(0);
}

int TFerrun::FNGetSerial() {
    int rc = 0;
    const auto serial = Query(EncodePasswordOnly(cmd::FnSerial, Pwd()), DecodeFnSerial, rc);
    if (!serial)
        return Finish(rc);
    SerialNumber = *serial;
    return Finish(0);
}

int TFerrun::GetEKLZSerialNumber() {
    int rc = 0;
    const auto number = Query(EncodePasswordOnly(cmd::EklzSerial, Pwd()), DecodeEklzSerial, rc);
    if (!number)
        return Finish(rc);
    EKLZNumber = QString::number(*number);
    return Finish(0);
}

int TFerrun::GetEKLZVersion() {
    int rc = 0;
    const auto version = Query(EncodePasswordOnly(cmd::EklzVersion, Pwd()), DecodeEklzVersion, rc);
    if (!version)
        return Finish(rc);
    EKLZVersion = *version;
    return Finish(0);
}

int TFerrun::GetECRParams() {
    if (OperationType == static_cast<int>(relay::OperationType))
        return LineRelay();
    return Simple(EncodeExtendedRequest(static_cast<unsigned>(OperationType)));
}

int TFerrun::LineRelay() {
    const auto inByte = [](int value) { return value >= 0 && value <= 255; };
    const bool timeoutValid = ReadTimeout >= 0 && ReadTimeout <= 0xFFFF;
    const std::string text = cp1251::FromUnicode(LineData);
    const bool textValid = text.size() <= relay::MaxText;
    const auto timeout = static_cast<unsigned>(ReadTimeout);
    switch (RequestType) {
    case relay::SendAndCollect:
        if (!inByte(LineNumber) || !timeoutValid || !textValid)
            return Finish(ferrunresult::BadProperty);
        return Simple(EncodeRelaySendAndCollect(static_cast<unsigned>(LineNumber), timeout, text));
    case relay::WriteOnly:
        if (!textValid)
            return Finish(ferrunresult::BadProperty);
        return Simple(EncodeRelayWrite(text));
    case relay::FetchLines:
        return FetchRelayLines();
    case relay::RawRead: {
        if (!inByte(LineNumber) || !timeoutValid)
            return Finish(ferrunresult::BadProperty);
        int rc = 0;
        const auto bytes =
            Query(EncodeRelayRead(static_cast<unsigned>(LineNumber), timeout), DecodeRelayRead, rc);
        if (!bytes)
            return Finish(rc);
        LineData = cp1251::ToUnicode(*bytes);
        return Finish(0);
    }
    default:
        return Finish(ferrunresult::BadProperty);
    }
}

// One answer carries only the lines that fit in it, so the range is fetched piece by piece.
// The device runs out of lines when its bootloader said less than was asked for: the lines
// fetched so far are the result, and LastLineNumber tells how many there are.
int TFerrun::FetchRelayLines() {
    if (FirstLineNumber < 1 || LastLineNumber > 255 || LastLineNumber < FirstLineNumber)
        return Finish(ferrunresult::BadProperty);
    const auto last = static_cast<unsigned>(LastLineNumber);
    unsigned next = static_cast<unsigned>(FirstLineNumber);
    std::string joined;
    while (next <= last) {
        std::string answer;
        const int rc = Execute(EncodeRelayFetch(next, last), answer);
        if (rc == relay::NoLines)
            break;
        if (rc != 0)
            return Finish(rc);
        const auto lines = DecodeRelayLines(answer);
        if (!lines || lines->First != next || lines->Last < next || lines->Last > last ||
            LineBreaks(lines->Text) != lines->Last - lines->First)
            return Finish(linkresult::BadAnswer);
        if (next > static_cast<unsigned>(FirstLineNumber))
            joined += "\r\n";
        joined += lines->Text;
        next = lines->Last + 1;
    }
    LastLineNumber = static_cast<int>(next) - 1;
    LineData = cp1251::ToUnicode(joined);
    return Finish(0);
}

void TFerrunDevice::Check(int resultCode) const {
    if (resultCode == ferrunresult::Cancelled)
        throw EAbort();
    if (resultCode != 0)
        throw Exception(QStringLiteral("%1, %2").arg(resultCode).arg(ResultCodeDescription));
}

int TFerrun::ShowProperties() {
    TFerrunPropertiesDialog dialog(*this);
    dialog.exec();
    return Finish(0);
}
