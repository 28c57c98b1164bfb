// Benchmark of a firmware update through the virtual bench: one or more LPC bootloaders on
// paced pseudo-terminals, one flash work item per port, all at once. Prints one table row.
#include "isp/writeflashtask.h"
#include "platform/portnames.h"
#include "sim/lpc/heximage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

struct Options {
    std::uint32_t PartId = 655966023;
    std::size_t Size = 512 * 1024 - 256;
    int Baud = 57600;
    int Ports = 1;
    bool Pacing = true;
};

std::string Control(const QString &Path, const std::string &Line) {
    QLocalSocket Socket;
    Socket.connectToServer(Path);
    if (!Socket.waitForConnected(5000))
        return "no control socket";
    Socket.write((Line + "\n").c_str());
    Socket.waitForBytesWritten(5000);
    while (!Socket.canReadLine() && Socket.waitForReadyRead(5000)) {
    }
    return Socket.readLine().trimmed().toStdString();
}

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

int Run(const Options &O, const QString &BenchProgram) {
    QTemporaryDir Dir;
    const QString Folder = Dir.filePath(QStringLiteral("bench"));
    std::string Setup;
    for (int i = 0; i < O.Ports; ++i)
        Setup += "device chip" + std::to_string(i) + " lpc-isp part=" + std::to_string(O.PartId) +
                 " baud=" + std::to_string(O.Baud) + "\nport rs" + std::to_string(i) +
                 " rs232 chip" + std::to_string(i) + "\n";
    const QString SetupFile = Dir.filePath(QStringLiteral("setup.txt"));
    QFile File(SetupFile);
    if (!File.open(QIODevice::WriteOnly))
        return 2;
    File.write(Setup.c_str());
    File.close();

    QProcess Bench;
    QStringList Args{QStringLiteral("--setup"), SetupFile, QStringLiteral("--folder"), Folder};
    if (!O.Pacing)
        Args << QStringLiteral("--no-pacing");
    Bench.start(BenchProgram, Args);
    const QString ControlPath = Folder + QStringLiteral("/control");
    for (int i = 0; i < 100 && !QFile::exists(ControlPath); ++i)
        QThread::msleep(50);
    qputenv("KALIBRA_BENCH_DIR", Folder.toLocal8Bit());

    const std::string Image = sim::lpc::RandomUserImage(O.Size, 7);
    const QString Hex = Dir.filePath(QStringLiteral("image.hex"));
    sim::lpc::WriteHexImage(Hex.toStdString(), Image);

    std::vector<std::shared_ptr<TWriteFlashWorkTask>> Items;
    for (int i = 0; i < O.Ports; ++i) {
        TWriteFlashTaskParams P;
        P.ProcessorType = O.PartId == 655966023 ? 0 : 1;
        P.PortNumber = platform::FirstBenchPortNumber + i;
        P.Baudrate = O.Baud;
        P.Timeout = 1000;
        P.FileName = Hex;
        Items.push_back(NewWorkItem<TWriteFlashWorkTask>(P));
    }
    const double Cpu0 = CpuSeconds();
    QElapsedTimer Wall;
    Wall.start();
    for (auto &Item : Items)
        Item->Execute();
    // Sleeps until an event comes (an item's completion is one), so that the waiting costs
    // this process no CPU; the timer only bounds a wait that no event would end.
    QTimer Watchdog;
    Watchdog.start(1000);
    for (auto &Item : Items) {
        while (!Item->State().Completed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        Item->WaitForThread();
    }
    const double Seconds = static_cast<double>(Wall.nsecsElapsed()) / 1e9;
    const double Cpu = CpuSeconds() - Cpu0;

    int Failures = 0;
    unsigned long long In = 0, Out = 0;
    for (int i = 0; i < O.Ports; ++i) {
        if (!Items[static_cast<std::size_t>(i)]->State().Succeeded()) {
            ++Failures;
            std::fprintf(
                stderr, "port %d: %s\n", i,
                Items[static_cast<std::size_t>(i)]->State().FailedInfo().toUtf8().constData());
        }
        const std::string Chip = "chip" + std::to_string(i);
        const std::string Compare =
            Control(ControlPath, Chip + " flash-compare " + Hex.toStdString());
        if (Compare.rfind("equal", 0) != 0) {
            ++Failures;
            std::fprintf(stderr, "port %d: %s\n", i, Compare.c_str());
        }
        unsigned long long A = 0, B = 0;
        std::sscanf(Control(ControlPath, Chip + " traffic").c_str(), "in %llu out %llu", &A, &B);
        In = std::max(In, A);
        Out = std::max(Out, B);
    }
    Control(ControlPath, "quit");
    Bench.waitForFinished(5000);

    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    const double Wire = static_cast<double>(std::max(In, Out)) * 10.0 / O.Baud;
    std::printf("| %u | %zu | %d | %d | %s | %.1f | %.1f | %.3f | %.2f (%.1f %%) | %ld | %llu / "
                "%llu | %s |\n",
                O.PartId, O.Size, O.Baud, O.Ports, O.Pacing ? "on" : "off", Seconds, Wire,
                Wire > 0 ? Seconds / Wire : 0.0, Cpu, Seconds > 0 ? 100.0 * Cpu / Seconds : 0.0,
                Usage.ru_maxrss / 1024, In, Out, Failures == 0 ? "ok" : "FAILED");
    return Failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    Options O;
    QString BenchProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/kalibra-bench");
    for (int i = 1; i < argc; ++i) {
        const bool Value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--part") && Value)
            O.PartId = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        else if (!std::strcmp(argv[i], "--size") && Value)
            O.Size = std::stoul(argv[++i]);
        else if (!std::strcmp(argv[i], "--baud") && Value)
            O.Baud = std::stoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--ports") && Value)
            O.Ports = std::stoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-pacing"))
            O.Pacing = false;
        else if (!std::strcmp(argv[i], "--bench") && Value)
            BenchProgram = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: kalibra-bench-ispflash [--part ID] [--size BYTES] "
                                 "[--baud RATE] [--ports N] [--no-pacing] [--bench PROGRAM]\n");
            return 2;
        }
    }
    return Run(O, BenchProgram);
}
