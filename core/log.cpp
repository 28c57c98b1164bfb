#include "core/log.h"

#include "core/errors.h"
#include "platform/process.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr std::string_view TagTrace = "[TRACE] ";
constexpr std::string_view TagWarn = "[ WARN] ";
constexpr std::string_view TagInfo = "[ INFO] ";
constexpr std::string_view TagError = "[ERROR] ";
constexpr std::string_view TagDebug = "[DEBUG] ";
constexpr int BytesPerDumpLine = 20;

QString WithTrailingSlash(QString Folder) {
    if (!Folder.endsWith(QLatin1Char('/')))
        Folder += QLatin1Char('/');
    return Folder;
}

} // namespace

TLogFile::TLogFile()
    : FFilePath(GetAppFolder() + QStringLiteral("Logs"))
    , FClock([] { return QDateTime::currentDateTime(); }) {}

TLogFile::~TLogFile() {
    CloseFile();
}

void TLogFile::Trace(const QString &Text) {
    Write(TagTrace, Text);
}
void TLogFile::Warn(const QString &Text) {
    Write(TagWarn, Text);
}
void TLogFile::Info(const QString &Text) {
    Write(TagInfo, Text);
}
void TLogFile::Error(const QString &Text) {
    Write(TagError, Text);
}
void TLogFile::Debug(const QString &Text) {
    Write(TagDebug, Text);
}

void TLogFile::DebugEx(const QString &Text) {
    if (DetailedLogEnabled())
        Debug(Text);
}

void TLogFile::ErrorEx(const QString &Text) {
    if (DetailedLogEnabled())
        Error(Text);
}

void TLogFile::SysLog(int Code, const QString &Message) {
    std::lock_guard guard(FLock);
    if (FSysLogEnabled && FOnSysLog)
        FOnSysLog(Code, Message);
}

QString TLogFile::GetTimeStamp() {
    return FormatTimeStamp(QDateTime::currentDateTime());
}

QString TLogFile::FormatTimeStamp(const QDateTime &Time) {
    return Time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
}

void TLogFile::Write(std::string_view Tag, const QString &Text) {
    std::lock_guard guard(FLock);
    if (!FEnabled)
        return;
    const QString line =
        QStringLiteral("[%1] [%2] %3%4\r\n")
            .arg(FormatTimeStamp(FClock()))
            .arg(platform::CurrentThreadId(), 8, 10, QLatin1Char('0'))
            .arg(QLatin1String(Tag.data(), static_cast<qsizetype>(Tag.size())), Text);
    OpenFile();
    const QByteArray bytes = line.toLocal8Bit();
    FHandle.Write(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QString TLogFile::CurrentFileName() const {
    std::lock_guard guard(FLock);
    if (!FDailyLogs)
        return FFileName;
    const QString executableName = QFileInfo(GetExecutablePath()).completeBaseName();
    return WithTrailingSlash(FFilePath) + executableName + QLatin1Char('_') +
           FClock().date().toString(QStringLiteral("yyyy.MM.dd")) + QStringLiteral(".log");
}

void TLogFile::OpenFile() {
    std::lock_guard guard(FLock);
    const QString name = CurrentFileName();
    if (name != FLastFileName) {
        FLastFileName = name;
        CloseFile();
    }
    if (FHandle.IsOpen() || name.isEmpty())
        return;
    const QFileInfo file(name);
    QDir().mkdir(file.absolutePath());
    FHandle.Open(name);
}

void TLogFile::CloseFile() {
    std::lock_guard guard(FLock);
    FHandle.Close();
}

bool TLogFile::Enabled() const {
    std::lock_guard guard(FLock);
    return FEnabled;
}

void TLogFile::SetEnabled(bool Value) {
    std::lock_guard guard(FLock);
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    CloseFile();
}

bool TLogFile::DailyLogs() const {
    std::lock_guard guard(FLock);
    return FDailyLogs;
}

void TLogFile::SetDailyLogs(bool Value) {
    std::lock_guard guard(FLock);
    FDailyLogs = Value;
}

QString TLogFile::FileName() const {
    std::lock_guard guard(FLock);
    return FFileName;
}

void TLogFile::SetFileName(const QString &Value) {
    std::lock_guard guard(FLock);
    if (Value == FFileName)
        return;
    FFileName = Value;
    if (!FDailyLogs)
        CloseFile();
}

QString TLogFile::FilePath() const {
    std::lock_guard guard(FLock);
    return FFilePath;
}

void TLogFile::SetFilePath(const QString &Value) {
    std::lock_guard guard(FLock);
    if (Value == FFilePath)
        return;
    FFilePath = Value;
    if (FDailyLogs)
        CloseFile();
}

bool TLogFile::DetailedLogEnabled() const {
    std::lock_guard guard(FLock);
    return FDetailedLogEnabled;
}

void TLogFile::SetDetailedLogEnabled(bool Value) {
    std::lock_guard guard(FLock);
    FDetailedLogEnabled = Value;
}

bool TLogFile::SysLogEnabled() const {
    std::lock_guard guard(FLock);
    return FSysLogEnabled;
}

void TLogFile::SetSysLogEnabled(bool Value) {
    std::lock_guard guard(FLock);
    FSysLogEnabled = Value;
}

void TLogFile::SetOnSysLog(TSysLogMessage Handler) {
    std::lock_guard guard(FLock);
    FOnSysLog = std::move(Handler);
}

void TLogFile::SetClock(TClock Clock) {
    std::lock_guard guard(FLock);
    FClock = std::move(Clock);
}

TLogFile &GlobalLog() {
    static TLogFile log;
    return log;
}

TLogger::TLogger(QString AName)
    : FName(std::move(AName)) {}

void TLogger::Info(const QString &Message) const {
    GlobalLog().Info(FName + QLatin1Char(' ') + Message);
}

void TLogger::Debug(const QString &Message) const {
    GlobalLog().Debug(FName + QLatin1Char(' ') + Message);
}

void TLogger::Error(const QString &Message, const std::exception *Err) const {
    QString text = FName + QLatin1Char(' ') + Message;
    if (Err)
        text += QStringLiteral(" (") + ExceptionMessage(*Err) + QLatin1Char(')');
    GlobalLog().Error(text);
}

void TLogger::WriteMethodName(const QString &AMethodName) const {
    Debug(AMethodName);
}

void TLogger::WriteMethodValue(const QString &AMethodName, const QVariant &AValue) const {
    Debug(QStringLiteral("%1: %2").arg(AMethodName, AValue.toString()));
}

void TLogger::WriteSeparator() const {
    Info(QString(60, QLatin1Char('-')));
}

void TLogger::WriteTxData(std::string_view Data) const {
    WriteData(QStringLiteral("-> "), Data);
}

void TLogger::WriteRxData(std::string_view Data) const {
    WriteData(QStringLiteral("<- "), Data);
}

void TLogger::WriteData(const QString &Prefix, std::string_view Data) const {
    size_t offset = 0;
    do {
        Debug(Prefix + StrToHex(Data.substr(offset, BytesPerDumpLine)));
        offset += BytesPerDumpLine;
    } while (offset < Data.size());
}

QString StrToHex(std::string_view Data) {
    QString text;
    text.reserve(static_cast<qsizetype>(Data.size() * 3));
    for (const char c : Data) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QStringLiteral("%1")
                    .arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'))
                    .toUpper();
    }
    return text;
}

QString GetExecutablePath() {
    return platform::ExecutablePath();
}

QString GetAppFolder() {
    static const QString folder = [] {
        const QString beside = QFileInfo(GetExecutablePath()).absolutePath();
        if (platform::IsFolderWritable(beside))
            return WithTrailingSlash(beside);
        return WithTrailingSlash(platform::UserDataFolder() + QStringLiteral("/ZARNIK/Kalibra"));
    }();
    return folder;
}

QString GetVersionText() {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(KALIBRA_VERSION_MAJOR)
        .arg(KALIBRA_VERSION_MINOR)
        .arg(KALIBRA_VERSION_PATCH)
        .arg(KALIBRA_VERSION_TWEAK);
}
