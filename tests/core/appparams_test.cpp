#include "core/appparams.h"
#include "core/xmlutils.h"
#include "tests/core/filesizelimit.h"
#include "tests/core/logcapture.h"
#include "tests/support/printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each test gets a configuration folder of its own.
class AppParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FDir.filePath(QStringLiteral("config")).toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", FOldConfig); }

    QString ParamsFile() const {
        return FDir.filePath(QStringLiteral("config/ZARNIK/Kalibra/Params.xml"));
    }
    void WriteParams(const QByteArray &Bytes) const {
        QDir().mkpath(QFileInfo(ParamsFile()).absolutePath());
        QFile file(ParamsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Bytes);
    }
    QByteArray ReadParams() const {
        QFile file(ParamsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir FDir;
    QByteArray FOldConfig;
};

TEST_F(AppParamsTest, SaveAndLoadRoundTrip) {
    TAppParams params;
    params.SetLastDeviceID(100000);
    params.SetLastDeviceTask(3);
    params.SetUserName(QStringLiteral("Иванова А. & Co <ОТК>"));
    const TLogCapture log;
    params.Save();
    EXPECT_EQ(QString::fromUtf8(ReadParams()),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Params>\n"
                             "  <LastDeviceID>100000</LastDeviceID>\n"
                             "  <LastDeviceTask>3</LastDeviceTask>\n"
                             "  <UserName>Иванова А. &amp; Co &lt;ОТК></UserName>\n</Params>\n"));
    TAppParams loaded;
    loaded.Load();
    EXPECT_EQ(loaded.LastDeviceID(), 100000);
    EXPECT_EQ(loaded.LastDeviceTask(), 3);
    EXPECT_EQ(loaded.UserName(), params.UserName());
    EXPECT_EQ(
        log.Messages(),
        QStringList({QStringLiteral("[DEBUG] TAppParams SaveToFile(%1)").arg(ParamsFile()),
                     QStringLiteral("[DEBUG] TAppParams LoadFromFile(%1)").arg(ParamsFile())}));
}

TEST_F(AppParamsTest, BadNumberGivesZeroWithoutAnErrorLine) {
    WriteParams("<?xml version=\"1.0\"?><Params><LastDeviceID>53</LastDeviceID>"
                "<LastDeviceTask>x</LastDeviceTask><UserName>Пётр</UserName></Params>");
    TAppParams params;
    params.SetLastDeviceTask(2);
    const TLogCapture log;
    params.Load();
    EXPECT_EQ(params.LastDeviceID(), 53);
    EXPECT_EQ(params.LastDeviceTask(), 0);
    EXPECT_EQ(params.UserName(), QStringLiteral("Пётр"));
    EXPECT_EQ(log.Messages().size(), 1);
}

TEST_F(AppParamsTest, ExtraElementLoadsAndIsDroppedAtTheNextSave) {
    WriteParams("<Params><Extra>keep?</Extra><LastDeviceID>24</LastDeviceID>"
                "<LastDeviceTask>1</LastDeviceTask><UserName>A</UserName></Params>");
    TAppParams params;
    params.Load();
    EXPECT_EQ(params.LastDeviceID(), 24);
    EXPECT_EQ(params.LastDeviceTask(), 1);
    params.Save();
    EXPECT_FALSE(ReadParams().contains("Extra"));
    EXPECT_TRUE(ReadParams().contains("<LastDeviceID>24</LastDeviceID>"));
}

TEST_F(AppParamsTest, UnreadableFileGivesDefaultsAndOneErrorLine) {
    struct TCase {
        const char *Name;
        QByteArray Bytes; // empty: no file
        int LastDeviceID;
        bool Error;
    };
    const std::vector<TCase> cases = {
        {"missing", {}, 0, true},
        {"malformed", "<Params><LastDeviceID>24</LastDeviceID>", 0, true},
        {"other root", "<Devices><LastDeviceID>24</LastDeviceID></Devices>", 0, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(ParamsFile());
        if (!c.Bytes.isEmpty())
            WriteParams(c.Bytes);
        TAppParams params;
        params.SetLastDeviceID(7);
        // Only the model is reset to its default; task row and name stay.
        params.SetLastDeviceTask(2);
        params.SetUserName(QStringLiteral("Пётр"));
        const TLogCapture log;
        params.Load();
        EXPECT_EQ(params.LastDeviceID(), c.LastDeviceID);
        EXPECT_EQ(params.LastDeviceTask(), 2);
        EXPECT_EQ(params.UserName(), QStringLiteral("Пётр"));
        const QStringList messages = log.Messages();
        ASSERT_EQ(messages.size(), c.Error ? 2 : 1) << messages.join(u'\n').toStdString();
        if (c.Error) {
            EXPECT_TRUE(messages[1].startsWith(
                QStringLiteral("[ERROR] TAppParams Не удалось прочитать параметры: ")));
        }
    }
}

TEST_F(AppParamsTest, UnusableConfigFolderLogsBothAndKeepsTheValues) {
    // A regular file where the folder should be stops root as well.
    QDir().mkpath(FDir.filePath(QStringLiteral("config")));
    QFile blocker(FDir.filePath(QStringLiteral("config/ZARNIK")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    TAppParams params;
    params.SetLastDeviceID(31);
    params.SetLastDeviceTask(1);
    const TLogCapture log;
    params.Save();
    params.SetLastDeviceID(52);
    params.Load();
    EXPECT_EQ(params.LastDeviceID(), 0);
    EXPECT_EQ(params.LastDeviceTask(), 1);
    params.SetLastDeviceID(52);
    params.Save();
    EXPECT_EQ(params.LastDeviceID(), 52) << "a failed save keeps the values in memory";
    const QStringList messages = log.Messages();
    ASSERT_EQ(messages.size(), 3) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages[0].startsWith(
        QStringLiteral("[ERROR] TAppParams Не удалось записать параметры: ")));
    EXPECT_TRUE(messages[1].startsWith(
        QStringLiteral("[ERROR] TAppParams Не удалось прочитать параметры: ")));
    EXPECT_TRUE(messages[2].startsWith(
        QStringLiteral("[ERROR] TAppParams Не удалось записать параметры: ")));
    EXPECT_TRUE(QFileInfo(FDir.filePath(QStringLiteral("config/ZARNIK"))).isFile());
}

TEST_F(AppParamsTest, FailedWriteKeepsTheOldFile) {
    TAppParams params;
    params.SetLastDeviceID(24);
    params.Save();
    const QByteArray old = ReadParams();
    params.SetUserName(QString(4000, QLatin1Char('n')));
    const TLogCapture log;
    {
        const TFileSizeLimit limit(2000);
        params.Save();
    }
    EXPECT_EQ(ReadParams(), old);
    const QStringList messages = log.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith(
        QStringLiteral("[ERROR] TAppParams Не удалось записать параметры: ")));
}

} // namespace
