#pragma once

#include "platform/appendfile.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>
#include <mutex>
#include <string_view>

using TSysLogMessage = std::function<void(int Code, const QString &Message)>;

// The process-wide log file: stamps each line with time and thread and serialises all writes.
class TLogFile {
public:
    using TClock = std::function<QDateTime()>;

    TLogFile();
    ~TLogFile();
    TLogFile(const TLogFile &) = delete;
    TLogFile &operator=(const TLogFile &) = delete;

    void Trace(const QString &Text);
    void Warn(const QString &Text);
    void Info(const QString &Text);
    void Error(const QString &Text);
    void Debug(const QString &Text);
    void DebugEx(const QString &Text);
    void ErrorEx(const QString &Text);
    void SysLog(int Code, const QString &Message);

    static QString GetTimeStamp();
    static QString FormatTimeStamp(const QDateTime &Time);

    bool Enabled() const;
    void SetEnabled(bool Value);
    bool DailyLogs() const;
    void SetDailyLogs(bool Value);
    QString FileName() const;
    void SetFileName(const QString &Value);
    QString FilePath() const;
    void SetFilePath(const QString &Value);
    bool DetailedLogEnabled() const;
    void SetDetailedLogEnabled(bool Value);
    bool SysLogEnabled() const;
    void SetSysLogEnabled(bool Value);
    void SetOnSysLog(TSysLogMessage Handler);

    // The file the next line goes to.
    QString CurrentFileName() const;
    // Replaces the local clock, so that tests can cross midnight.
    void SetClock(TClock Clock);

private:
    void Write(std::string_view Tag, const QString &Text);
    void OpenFile();
    void CloseFile();

    mutable std::recursive_mutex FLock;
    platform::AppendFile FHandle;
    QString FFileName;
    QString FFilePath;
    bool FEnabled = false;
    bool FDailyLogs = false;
    QString FLastFileName;
    bool FDetailedLogEnabled = false;
    bool FSysLogEnabled = false;
    TSysLogMessage FOnSysLog;
    TClock FClock;
};

TLogFile &GlobalLog();

// A named writer into the log file; every class that logs owns one named after itself.
class TLogger {
public:
    explicit TLogger(QString AName);

    const QString &Name() const { return FName; }
    void Info(const QString &Message) const;
    void Debug(const QString &Message) const;
    void Error(const QString &Message, const std::exception *Err = nullptr) const;
    void Error(const QString &Message, const std::exception &Err) const { Error(Message, &Err); }
    void WriteMethodName(const QString &AMethodName) const;
    void WriteMethodValue(const QString &AMethodName, const QVariant &AValue) const;
    void WriteSeparator() const;
    void WriteTxData(std::string_view Data) const;
    void WriteRxData(std::string_view Data) const;
    void WriteData(const QString &Prefix, std::string_view Data) const;

private:
    QString FName;
};

// Each byte as two or more upper-case hex digits, separated by single spaces.
QString StrToHex(std::string_view Data);

QString GetExecutablePath();
// The executable's folder with a trailing "/", or the user's data folder when it is read-only.
QString GetAppFolder();
QString GetVersionText();
