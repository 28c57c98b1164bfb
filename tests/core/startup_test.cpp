#include "core/appmanager.h"
#include "core/appparams.h"
#include "tests/core/logcapture.h"
#include "tests/support/printers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Stars = QString(61, QLatin1Char('*'));

QStringList BannerLines() {
    return {QStringLiteral("[DEBUG] TAppManager ") + Stars,
            QStringLiteral("[DEBUG] TAppManager Kalibra v") + GetVersionText(),
            QStringLiteral("[DEBUG] TAppManager ") + Stars};
}

// The lines of one start: the catalog file, the parameters file with its error line when it
// cannot be read, the banner, then the folder in use.
QStringList StartLines(const QString &AppFolder, const QString &ParamsFile, bool ParamsMissing) {
    QStringList lines = {
        QStringLiteral("[DEBUG] TDevices LoadFromFile(%1Devices.xml)").arg(AppFolder),
        QStringLiteral("[DEBUG] TAppParams LoadFromFile(%1)").arg(ParamsFile)};
    if (ParamsMissing)
        lines << QStringLiteral("[ERROR] TAppParams Не удалось прочитать параметры: Файл \"%1\" "
                                "не найден")
                     .arg(ParamsFile);
    lines << BannerLines();
    lines << QStringLiteral("[ INFO] TAppManager Папка программы: ") + QDir::cleanPath(AppFolder);
    return lines;
}

void WriteFile(const QString &Path, const QByteArray &Bytes) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Bytes);
}

QByteArray ReadFile(const QString &Path) {
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(StartUp, ManagerReadsBothFilesThenWritesTheBannerOnce) {
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString paramsFile = config.filePath(QStringLiteral("ZARNIK/Kalibra/Params.xml"));
    FreeAppManager();
    {
        const TLogCapture log;
        TAppManager &manager = AppManager();
        EXPECT_EQ(&AppManager(), &manager);
        EXPECT_EQ(manager.Devices().Count(), 16);
        EXPECT_EQ(manager.Device(), nullptr);
        EXPECT_TRUE(manager.IsDevicesLoaded());
        EXPECT_EQ(log.Messages(), StartLines(GetAppFolder(), paramsFile, true));
        FreeAppManager();
    }
    // A second start with the parameters in place has no error line.
    WriteFile(paramsFile, "<Params><LastDeviceID>52</LastDeviceID></Params>");
    {
        const TLogCapture log;
        AppManager();
        EXPECT_EQ(AppParams().LastDeviceID(), 52);
        EXPECT_EQ(log.Messages(), StartLines(GetAppFolder(), paramsFile, false));
        FreeAppManager();
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

// The real program, copied into a folder of its own so that its logs and files are the test's.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        FProgram = FDir.filePath(QStringLiteral("kalibra"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KALIBRA_EXECUTABLE), FProgram));
    }
    QString Folder() const { return FDir.path() + QLatin1Char('/'); }
    QString ParamsFile() const {
        return FDir.filePath(QStringLiteral("config/ZARNIK/Kalibra/Params.xml"));
    }
    QString DevicesFile() const { return FDir.filePath(QStringLiteral("Devices.xml")); }
    QString LogFile() const {
        return FDir.filePath(QStringLiteral("Logs/kalibra_%1.log")
                                 .arg(QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"))));
    }
    // Starts the program and lets it close its window as the operator would.
    void Run() const {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), FDir.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           FDir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), FDir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDir.path());
        environment.insert(QStringLiteral("KALIBRA_TEST_CLOSE_AFTER_MS"), QStringLiteral("300"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(FProgram, {});
        ASSERT_TRUE(process.waitForFinished(60000)) << "the window did not close";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    QTemporaryDir FDir;
    QString FProgram;
};

TEST_F(ProgramTest, FirstStartLogsBesideTheProgramAndClosingWritesNothing) {
    Run();
    EXPECT_EQ(TLogCapture::MessagesOf(LogFile()), StartLines(Folder(), ParamsFile(), true));
    EXPECT_FALSE(QFileInfo::exists(DevicesFile()));
    EXPECT_FALSE(QFileInfo::exists(ParamsFile()));
}

TEST_F(ProgramTest, ClosingLeavesBothFilesUntouched) {
    const QByteArray devices =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices>\n  <Device ModelID=\"24\" "
        "Name=\"ПТК Ostrel-01\">\n    <Tasks>\n      <WriteFRFlash>\n        "
        "<FileName>fr.hex</FileName>\n      </WriteFRFlash>\n    </Tasks>\n  </Device>\n"
        "</Devices>\n";
    const QByteArray params = "<Params><LastDeviceID>24</LastDeviceID><Extra/></Params>";
    WriteFile(DevicesFile(), devices);
    WriteFile(ParamsFile(), params);
    const QDateTime devicesTime = QFileInfo(DevicesFile()).lastModified();
    const QDateTime paramsTime = QFileInfo(ParamsFile()).lastModified();
    Run();
    EXPECT_EQ(TLogCapture::MessagesOf(LogFile()), StartLines(Folder(), ParamsFile(), false));
    EXPECT_EQ(ReadFile(DevicesFile()), devices);
    EXPECT_EQ(ReadFile(ParamsFile()), params);
    EXPECT_EQ(QFileInfo(DevicesFile()).lastModified(), devicesTime);
    EXPECT_EQ(QFileInfo(ParamsFile()).lastModified(), paramsTime);
}

} // namespace
