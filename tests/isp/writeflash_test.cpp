#include "isp/writeflashtask.h"
#include "platform/portnames.h"
#include "sim/lpc/heximage.h"
#include "tests/isp/benchfixture.h"
#include "tests/support/printers.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

class WriteFlashTest : public IspBench {
protected:
    void SetUp() override {
        IspBench::SetUp();
        qputenv("KALIBRA_BENCH_DIR", FBench->Folder().toLocal8Bit());
    }
    TWriteFlashTaskParams Params(const std::string &Image, int Port, int Type, int Baud) {
        TWriteFlashTaskParams P;
        P.FileName = FDir.filePath(QStringLiteral("image.hex"));
        sim::lpc::WriteHexImage(P.FileName.toStdString(), Image);
        P.ProcessorType = Type;
        P.PortNumber = platform::FirstBenchPortNumber + Port;
        P.Baudrate = Baud;
        P.Timeout = 300;
        return P;
    }
    // Runs the item to its end, calling Watch with the state while it runs.
    void Run(const std::shared_ptr<TWriteFlashWorkTask> &Item,
             const std::function<void(TTaskState &)> &Watch = {}) {
        Item->Device().Port().SetClosePause(std::chrono::milliseconds(0));
        Item->Execute();
        QElapsedTimer Timer;
        Timer.start();
        while (!Item->State().Completed() && Timer.elapsed() < 60000) {
            if (Watch)
                Watch(Item->State());
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        Item->WaitForThread();
        ASSERT_TRUE(Item->State().Completed());
    }
    // Runs the item, cancels it from this thread once its progress reaches the step, and
    // checks that it ended cancelled and disconnected.
    void RunAndCancelAt(const std::shared_ptr<TWriteFlashWorkTask> &Item, int Step) {
        bool Cancelled = false;
        Run(Item, [&](TTaskState &S) {
            if (!Cancelled && S.ItemNumber() >= Step) {
                Cancelled = true;
                Item->Cancel();
            }
        });
        EXPECT_TRUE(Cancelled);
        EXPECT_FALSE(Item->State().Succeeded());
        EXPECT_TRUE(Item->State().UserCancelled());
        EXPECT_EQ(Item->State().FailedInfo(), QStringLiteral("Операция отменена"));
        EXPECT_FALSE(Item->Device().Connected());
    }
};

TEST_F(WriteFlashTest, FullImagesOfEachProcessorKind) {
    struct Case {
        int Port, Type, Baud;
        std::string Device;
        std::size_t Size;
    } Cases[] = {{0, 0, 57600, "board", 512 * 1024 - 100},
                 {1, 1, 115200, "fm", 16 * 1024},
                 {2, 1, 115200, "fm302", 32 * 1024}};
    for (const Case &C : Cases) {
        const std::string Image = sim::lpc::RandomUserImage(C.Size, C.Port);
        auto Item = NewWorkItem<TWriteFlashWorkTask>(Params(Image, C.Port, C.Type, C.Baud));
        Run(Item);
        EXPECT_TRUE(Item->State().Succeeded()) << Item->State().Text().toStdString();
        EXPECT_EQ(Item->State().Text(), QStringLiteral("Операция выполнена успешно"));
        const int N = static_cast<int>((C.Size + 1023) / 1024),
                  M = static_cast<int>((C.Size + 511) / 512);
        EXPECT_EQ(Item->State().ItemCount(), N + M);
        EXPECT_EQ(Item->State().ItemNumber(), N + M);
        EXPECT_EQ(Control(C.Device + " flash-compare " + Item->Params().FileName.toStdString()),
                  "equal " + std::to_string(C.Size) + " bytes");
        EXPECT_FALSE(Item->Device().Connected());
    }
}

TEST_F(WriteFlashTest, BlockOrderAndProgressOfASmallImage) {
    auto Item =
        NewWorkItem<TWriteFlashWorkTask>(Params(sim::lpc::RandomUserImage(1536, 3), 1, 1, 115200));
    const qsizetype Mark = LogMark();
    QStringList Texts;
    Run(Item, [&](TTaskState &S) {
        if (Texts.isEmpty() || Texts.back() != S.Text())
            Texts << S.Text();
    });
    EXPECT_TRUE(Item->State().Succeeded()) << Item->State().Text().toStdString();
    EXPECT_EQ(Item->State().ItemCount(), 5);
    const QString Log = this->Log().mid(Mark);
    const qsizetype High = Log.indexOf(QStringLiteral("-> C 1024 268436224 1024"));
    const qsizetype Low = Log.indexOf(QStringLiteral("-> C 0 268436224 1024"));
    EXPECT_TRUE(High >= 0 && Low > High);
    const qsizetype Go = Log.indexOf(QStringLiteral("-> G 268436224 T"));
    EXPECT_GT(Go, Low);
    for (const char *Read : {"-> R 0 512", "-> R 512 512", "-> R 1024 512"})
        EXPECT_GT(Log.indexOf(QLatin1String(Read)), Go) << Read;
    EXPECT_EQ(LogCount(QStringLiteral("-> E 0 3"), Mark), 1);
    EXPECT_TRUE(Texts.contains(QStringLiteral("Запись данных")) ||
                Texts.contains(QStringLiteral("Проверка записанных данных")))
        << Texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(WriteFlashTest, FilesWithoutDataDoNotTouchThePort) {
    TWriteFlashTaskParams P = Params({}, 0, 0, 57600);
    const qsizetype Mark = LogMark();
    auto Item = NewWorkItem<TWriteFlashWorkTask>(P);
    Run(Item);
    EXPECT_FALSE(Item->State().Succeeded());
    EXPECT_EQ(Item->State().FailedInfo(),
              QStringLiteral("Файл поврежден или имеет неверный формат"));
    EXPECT_EQ(LogCount(QStringLiteral("TSerialPort Open"), Mark), 0);
    P.FileName = FDir.filePath(QStringLiteral("bad.hex"));
    QFile Bad(P.FileName);
    ASSERT_TRUE(Bad.open(QIODevice::WriteOnly));
    Bad.write(":0100000055AB\n");
    Bad.close();
    auto Crc = NewWorkItem<TWriteFlashWorkTask>(P);
    Run(Crc);
    EXPECT_EQ(Crc->State().FailedInfo(), QStringLiteral("HEX file CRC error"));
}

TEST_F(WriteFlashTest, OneByteThatReadsBackWrongFailsItsBlock) {
    auto Item =
        NewWorkItem<TWriteFlashWorkTask>(Params(sim::lpc::RandomUserImage(4096, 4), 1, 1, 115200));
    Control("fm fault weak-byte 2000");
    Run(Item);
    EXPECT_FALSE(Item->State().Succeeded());
    EXPECT_EQ(Item->State().FailedInfo(), QStringLiteral("Данные записаны некорректно"));
    // 4 write blocks, then the verify blocks at 0, 512, 1024, 1536 pass; 2048 fails.
    EXPECT_EQ(Item->State().ItemNumber(), 4 + 3);
}

TEST_F(WriteFlashTest, WrongRateAndUnknownProcessor) {
    auto Silent =
        NewWorkItem<TWriteFlashWorkTask>(Params(sim::lpc::RandomUserImage(100, 5), 0, 0, 115200));
    Run(Silent);
    EXPECT_EQ(Silent->State().FailedInfo(), QStringLiteral("нет связи"));
    auto Wrong =
        NewWorkItem<TWriteFlashWorkTask>(Params(sim::lpc::RandomUserImage(100, 5), 0, 1, 57600));
    Run(Wrong);
    EXPECT_EQ(Wrong->State().FailedInfo(),
              QStringLiteral("Неподдерживаемый тип процессора. Part ID: 655966023"));
}

TEST_F(WriteFlashTest, CancelDuringTheWrite) {
    auto Item = NewWorkItem<TWriteFlashWorkTask>(
        Params(sim::lpc::RandomUserImage(256 * 1024, 6), 0, 0, 57600));
    RunAndCancelAt(Item, 2);
}

TEST_F(WriteFlashTest, UnpluggedMidWriteThenTheNextRunStartsAfresh) {
    const std::string Image = sim::lpc::RandomUserImage(128 * 1024, 7);
    auto Item = NewWorkItem<TWriteFlashWorkTask>(Params(Image, 0, 0, 57600));
    bool Unplugged = false;
    Run(Item, [&](TTaskState &S) {
        if (!Unplugged && S.ItemNumber() >= 3) {
            Unplugged = true;
            Control("unplug rs0");
        }
    });
    EXPECT_TRUE(Unplugged);
    EXPECT_FALSE(Item->State().Succeeded());
    EXPECT_FALSE(Item->State().FailedInfo().isEmpty());
    EXPECT_FALSE(Item->Device().Connected());
    Control("plug rs0");
    Control("board reset");
    const qsizetype Mark = LogMark();
    Run(Item);
    EXPECT_TRUE(Item->State().Succeeded()) << Item->State().FailedInfo().toStdString();
    EXPECT_EQ(LogCount(QStringLiteral("-> E 0 29"), Mark), 1);
    EXPECT_EQ(Control("board flash-compare " + Item->Params().FileName.toStdString()),
              "equal " + std::to_string(Image.size()) + " bytes");
}

} // namespace

namespace {

class TunnelWriteFlashTest : public WriteFlashTest {
protected:
    std::string_view SetupText() const override { return TunnelSetupText; }
    TWriteFlashTaskParams NetParams(const std::string &Image, const std::string &Device) {
        TWriteFlashTaskParams P = Params(Image, 0, 1, 1);
        P.UseNet = true;
        P.IPAddress = QStringLiteral("127.0.0.1");
        P.TCPPort = FBench->TcpPort(Device);
        P.Timeout = 3000;
        return P;
    }
};

} // namespace

TEST_F(TunnelWriteFlashTest, FullImagesOfEachFiscalMemory) {
    const std::pair<std::string, std::size_t> Cases[] = {
        {"ptk", 32 * 1024}, {"ptk202", 16 * 1024}, {"ptk203", 16 * 1024 - 300}};
    for (const auto &[Device, Size] : Cases) {
        const std::string Image = sim::lpc::RandomUserImage(Size, static_cast<unsigned>(Size));
        auto Item = NewWorkItem<TWriteFlashWorkTask>(NetParams(Image, Device));
        Run(Item);
        EXPECT_TRUE(Item->State().Succeeded())
            << Device << ": " << Item->State().Text().toStdString();
        EXPECT_EQ(Control(Device + " fm flash-compare " + Item->Params().FileName.toStdString()),
                  "equal " + std::to_string(Size) + " bytes");
        EXPECT_FALSE(Item->Device().Connected());
    }
}

TEST_F(TunnelWriteFlashTest, CancelStopsATunnelledUpdateAndTheNextRunStartsAfresh) {
    auto Item =
        NewWorkItem<TWriteFlashWorkTask>(NetParams(sim::lpc::RandomUserImage(32 * 1024, 8), "ptk"));
    RunAndCancelAt(Item, 2);
    EXPECT_GE(LogCount(QStringLiteral("TISPNetProtocol Cancel")), 1);

    const qsizetype Mark = LogMark();
    Run(Item);
    EXPECT_TRUE(Item->State().Succeeded()) << Item->State().FailedInfo().toStdString();
    EXPECT_EQ(LogCount(QStringLiteral("-> E 0 7"), Mark), 1);
    EXPECT_EQ(Control("ptk fm flash-compare " + Item->Params().FileName.toStdString()),
              "equal 32768 bytes");
}
