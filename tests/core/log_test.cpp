#include "core/log.h"
#include "tests/support/printers.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

QStringList ReadLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLocal8Bit(file.readAll());
    EXPECT_TRUE(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// Message part of a line, after the time stamp and the thread number.
QString MessageOf(const QString &line) {
    static const QRegularExpression prefix(QStringLiteral(R"(^\[[^\]]*\] \[\d{8,}\] )"));
    return QString(line).remove(prefix);
}

class GlobalLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFile = FDir.filePath(QStringLiteral("test.log"));
        GlobalLog().SetDailyLogs(false);
        GlobalLog().SetFileName(FFile);
        GlobalLog().SetEnabled(true);
    }
    void TearDown() override {
        GlobalLog().SetEnabled(false);
        GlobalLog().SetDetailedLogEnabled(false);
    }
    QStringList Messages() const {
        QStringList messages;
        for (const QString &line : ReadLines(FFile))
            messages << MessageOf(line);
        return messages;
    }

    QTemporaryDir FDir;
    QString FFile;
};

TEST(StrToHex, UpperCaseBytesJoinedBySpaces) {
    EXPECT_EQ(StrToHex(std::string_view("\x02\x1F\xAB", 3)), QStringLiteral("02 1F AB"));
    EXPECT_EQ(StrToHex(std::string_view("\0", 1)), QStringLiteral("00"));
    EXPECT_EQ(StrToHex({}), QString());
}

TEST(TimeStamp, DayMonthYearAndMilliseconds) {
    const QDateTime time(QDate(2017, 12, 8), QTime(9, 15, 2, 481));
    EXPECT_EQ(TLogFile::FormatTimeStamp(time), QStringLiteral("08.12.2017 09:15:02.481"));
    EXPECT_EQ(TLogFile::FormatTimeStamp(QDateTime(QDate(2017, 1, 2), QTime(23, 0, 0, 7))),
              QStringLiteral("02.01.2017 23:00:00.007"));
}

TEST_F(GlobalLogTest, LineCarriesTimeThreadLevelAndName) {
    TLogger("TAppManager").Info(QStringLiteral("Kalibra v1.2.0.43"));
    TLogger("TDevices").Debug(QStringLiteral("Загрузка"));
    GlobalLog().Warn(QStringLiteral("w"));
    GlobalLog().Trace(QStringLiteral("t"));
    const QStringList lines = ReadLines(FFile);
    ASSERT_EQ(lines.size(), 4);
    const QRegularExpression format(QStringLiteral(
        R"(^\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] \[\d{8,}\] \[ INFO\] TAppManager Kalibra v1\.2\.0\.43$)"));
    EXPECT_TRUE(format.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(MessageOf(lines[1]), QStringLiteral("[DEBUG] TDevices Загрузка"));
    EXPECT_EQ(MessageOf(lines[2]), QStringLiteral("[ WARN] w"));
    EXPECT_EQ(MessageOf(lines[3]), QStringLiteral("[TRACE] t"));
}

TEST_F(GlobalLogTest, ErrorAppendsTheExceptionMessage) {
    const TLogger logger(QStringLiteral("TX"));
    logger.Error(QStringLiteral("Ошибка записи"), std::runtime_error("disk full"));
    logger.Error(QStringLiteral("Без причины"));
    EXPECT_EQ(Messages(), (QStringList{QStringLiteral("[ERROR] TX Ошибка записи (disk full)"),
                                       QStringLiteral("[ERROR] TX Без причины")}));
}

TEST_F(GlobalLogTest, DumpsTwentyBytesPerLine) {
    const TLogger logger(QStringLiteral("TPort"));
    logger.WriteTxData(std::string(41, '\x5A'));
    logger.WriteRxData({});
    const QString full = QStringLiteral("[DEBUG] TPort -> ") + QStringLiteral("5A ").repeated(19) +
                         QStringLiteral("5A");
    EXPECT_EQ(Messages(), (QStringList{full, full, QStringLiteral("[DEBUG] TPort -> 5A"),
                                       QStringLiteral("[DEBUG] TPort <- ")}));
}

TEST_F(GlobalLogTest, DetailedLinesOnlyWhenEnabled) {
    GlobalLog().DebugEx(QStringLiteral("hidden"));
    GlobalLog().ErrorEx(QStringLiteral("hidden"));
    GlobalLog().SetDetailedLogEnabled(true);
    GlobalLog().DebugEx(QStringLiteral("shown"));
    GlobalLog().ErrorEx(QStringLiteral("shown"));
    EXPECT_EQ(Messages(),
              (QStringList{QStringLiteral("[DEBUG] shown"), QStringLiteral("[ERROR] shown")}));
}

TEST_F(GlobalLogTest, MethodValueAndSeparator) {
    const TLogger logger(QStringLiteral("T"));
    logger.WriteMethodValue(QStringLiteral("BaudRate"), 57600);
    logger.WriteSeparator();
    EXPECT_EQ(Messages(),
              (QStringList{QStringLiteral("[DEBUG] T BaudRate: 57600"),
                           QStringLiteral("[ INFO] T ") + QString(60, QLatin1Char('-'))}));
}

TEST_F(GlobalLogTest, ThreadsNeverMixWithinALine) {
    constexpr int linesPerThread = 2000;
    auto writer = [](QChar fill) {
        const QString text(200, fill);
        for (int i = 0; i < linesPerThread; ++i)
            GlobalLog().Info(text);
    };
    std::thread a(writer, QLatin1Char('a'));
    std::thread b(writer, QLatin1Char('b'));
    a.join();
    b.join();
    const QStringList messages = Messages();
    ASSERT_EQ(messages.size(), 2 * linesPerThread);
    for (const QString &message : messages) {
        const QString text = message.mid(8);
        ASSERT_TRUE(text == QString(200, QLatin1Char('a')) ||
                    text == QString(200, QLatin1Char('b')))
            << message.toStdString();
    }
}

TEST(LogFile, DisabledCreatesNoFileOrFolder) {
    QTemporaryDir dir;
    TLogFile log;
    log.SetFilePath(dir.filePath(QStringLiteral("Logs")));
    log.SetDailyLogs(true);
    log.Info(QStringLiteral("dropped"));
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("Logs"))).exists());
}

TEST(LogFile, FirstWriteAfterMidnightMovesToTheNewDay) {
    QTemporaryDir dir;
    QDateTime now(QDate(2017, 12, 8), QTime(23, 59, 59, 990));
    TLogFile log;
    log.SetClock([&now] { return now; });
    log.SetFilePath(dir.filePath(QStringLiteral("Logs")));
    log.SetEnabled(true);
    log.SetDailyLogs(true);
    log.Info(QStringLiteral("before"));
    const QString first = log.CurrentFileName();
    now = now.addMSecs(20);
    log.Info(QStringLiteral("after"));
    const QString second = log.CurrentFileName();

    EXPECT_TRUE(first.endsWith(QStringLiteral("/Logs/test_core_log_2017.12.08.log")))
        << first.toStdString();
    EXPECT_TRUE(second.endsWith(QStringLiteral("_2017.12.09.log")));
    const QStringList old = ReadLines(first);
    const QStringList fresh = ReadLines(second);
    ASSERT_EQ(old.size(), 1);
    ASSERT_EQ(fresh.size(), 1);
    EXPECT_TRUE(old[0].startsWith(QStringLiteral("[08.12.2017 23:59:59.990]")));
    EXPECT_TRUE(fresh[0].endsWith(QStringLiteral("after")));
}

TEST(LogFile, KeepsExistingContentAndRetriesAfterAFailedOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/deeper/x.log"));
    TLogFile log;
    log.SetFileName(path);
    log.SetEnabled(true);
    log.Info(QStringLiteral("lost"));
    EXPECT_FALSE(QFile::exists(path));
    QDir().mkpath(dir.filePath(QStringLiteral("missing")));
    log.Info(QStringLiteral("kept"));
    log.SetEnabled(false);
    log.SetEnabled(true);
    log.Info(QStringLiteral("appended"));
    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("appended")));
}

TEST(LogFile, SysLogCallsTheHandlerOnlyWhenEnabled) {
    TLogFile log;
    int calls = 0;
    log.SetOnSysLog([&calls](int code, const QString &) { calls += code; });
    log.SysLog(1, QStringLiteral("off"));
    log.SetSysLogEnabled(true);
    log.SysLog(5, QStringLiteral("on"));
    EXPECT_EQ(calls, 5);
}

} // namespace
