#pragma once

#include "core/log.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// Sends the process-wide log to a file of its own for as long as it lives.
class TLogCapture {
public:
    TLogCapture() {
        GlobalLog().SetDailyLogs(false);
        GlobalLog().SetFileName(FDir.filePath(QStringLiteral("test.log")));
        GlobalLog().SetEnabled(true);
    }
    ~TLogCapture() { GlobalLog().SetEnabled(false); }
    TLogCapture(const TLogCapture &) = delete;
    TLogCapture &operator=(const TLogCapture &) = delete;

    // Each line without its time stamp and thread number: "[DEBUG] TDevices LoadFromFile(...)".
    QStringList Messages() const { return MessagesOf(FDir.filePath(QStringLiteral("test.log"))); }

    static QStringList MessagesOf(const QString &FileName) {
        static const QRegularExpression prefix(QStringLiteral(R"(^\[[^\]]*\] \[\d{8,}\] )"));
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        for (QString &line : lines)
            line.remove(prefix);
        return lines;
    }

private:
    QTemporaryDir FDir;
};
