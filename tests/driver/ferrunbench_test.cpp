#include "core/log.h"
#include "driver/deviceprotocol.h"
#include "driver/ferrun.h"
#include "platform/portnames.h"
#include "sim/bench.h"
#include "sim/fiscal/fiscaldevice.h"
#include "tests/support/printers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The driver against the virtual bench: real pseudo-terminals, real loopback TCP.
class FerrunBenchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        qputenv("KALIBRA_BENCH_DIR", folder->path().toUtf8());
        sim::BenchOptions options;
        options.Folder = folder->path();
        options.Pacing = false;
        bench = new sim::Bench(sim::BenchSetup::Parse(R"(
device p1 fiscal-ostrel01
port rs0 rs232 p1
port usb0 usb p1
device kkt fiscal-fnkkt
port rs1 rs232 kkt
tcp 0 kkt
device p2 fiscal-zarnikfrptk
port rs2 rs232 p2
)"),
                               options);
        bench->Start();
        if (qEnvironmentVariableIsSet("KALIBRA_TEST_LOG")) {
            GlobalLog().SetFilePath(QString::fromUtf8(qgetenv("KALIBRA_TEST_LOG")));
            GlobalLog().SetFileName(QStringLiteral("bench.log"));
            GlobalLog().SetDetailedLogEnabled(true);
            GlobalLog().SetEnabled(true);
        }
        const std::string port = std::to_string(bench->TcpPort("kkt"));
        Control("kkt", {"table", "21", "4", port});
    }
    static void TearDownTestSuite() {
        bench->Stop();
        delete bench;
        delete folder;
        qunsetenv("KALIBRA_BENCH_DIR");
    }
    static std::string Control(const std::string &device, const std::vector<std::string> &words) {
        std::string reply;
        bench->WithDevice(device, [&](sim::Device &d) { reply = d.Control(words); });
        return reply;
    }
    static void OnPort(TFerrun &driver, const std::string &port, int baud) {
        driver.ConnectionType = 0;
        driver.ComNumber = platform::SerialPortNumber(bench->PortPath(port));
        driver.BaudRate = devproto::CodeOfBaudRate(baud);
        driver.Timeout = 100;
        driver.Password = 30;
    }

    static QTemporaryDir *folder;
    static sim::Bench *bench;
};

QTemporaryDir *FerrunBenchTest::folder = nullptr;
sim::Bench *FerrunBenchTest::bench = nullptr;

} // namespace

TEST_F(FerrunBenchTest, SerialPortAtTheDeviceRate) {
    TFerrun driver;
    OnPort(driver, "rs0", 4800);
    ASSERT_EQ(driver.GetDeviceMetrics(), 0) << driver.ResultCodeDescription.toStdString();
    EXPECT_EQ(driver.UModel, 24);
    EXPECT_EQ(driver.UDescription, QStringLiteral("ПТК Ostrel-01"));
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 4);
    driver.StringForPrinting = QStringLiteral("Тест стенда");
    ASSERT_EQ(driver.PrintString(), 0);
    EXPECT_EQ(driver.WaitForPrinting(), 0);
    EXPECT_EQ(Control("p1", {"roll", "count"}), "1");
    EXPECT_EQ(Control("p1", {"roll", "line", "0"}), "Тест стенда");
    driver.Disconnect();

    // As the search tries a rate: one ENQ, no answer at the wrong rate.
    TFerrun wrong;
    OnPort(wrong, "rs0", 115200);
    wrong.Timeout = 400;
    wrong.MaxCommandSendCount = 1;
    wrong.MaxAnswerReadCount = 1;
    ASSERT_EQ(wrong.LockPort(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wrong.GetDeviceMetrics(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    wrong.UnlockPort();
}

TEST_F(FerrunBenchTest, BusyPortAndLockedPort) {
    TFerrun first;
    TFerrun second;
    OnPort(first, "rs2", 115200);
    OnPort(second, "rs2", 115200);
    ASSERT_EQ(first.LockPort(), 0);
    EXPECT_EQ(second.LockPort(), -2);
    EXPECT_EQ(second.ResultCodeDescription, QStringLiteral("Порт недоступен"));
    first.UnlockPort();
    EXPECT_EQ(second.LockPort(), 0);
    second.UnlockPort();
}

TEST_F(FerrunBenchTest, ExchangeRateChange) {
    TFerrun driver;
    OnPort(driver, "usb0", 4800);
    driver.PortNumber = 1;
    ASSERT_EQ(driver.GetExchangeParam(), 0) << driver.ResultCodeDescription.toStdString();
    EXPECT_EQ(driver.BaudRate, 1);
    driver.BaudRate = 6;
    ASSERT_EQ(driver.SetExchangeParam(), 0);
    driver.Disconnect();
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(driver.GetDeviceMetrics(), 0) << driver.ResultCodeDescription.toStdString();
    driver.Disconnect();

    TFerrun old;
    OnPort(old, "usb0", 4800);
    old.MaxCommandSendCount = 1;
    EXPECT_EQ(old.GetDeviceMetrics(), -1);
    old.Disconnect();
    driver.BaudRate = 6;
    ASSERT_EQ(driver.Connect(), 0);
    driver.BaudRate = 1;
    driver.PortNumber = 1;
    ASSERT_EQ(driver.SetExchangeParam(), 0);
    driver.Disconnect();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(old.GetDeviceMetrics(), 0);
}

TEST_F(FerrunBenchTest, NetworkProbeAtTheTablesAddress) {
    TFerrun serial;
    OnPort(serial, "rs1", 115200);
    serial.TableNumber = 21;
    serial.RowNumber = 1;
    serial.FieldNumber = 4;
    ASSERT_EQ(serial.ReadTable(), 0) << serial.ResultCodeDescription.toStdString();
    const int port = static_cast<int>(serial.ValueOfFieldInteger);
    EXPECT_EQ(port, bench->TcpPort("kkt"));
    serial.Disconnect();

    TFerrun probe;
    probe.ConnectionType = 6;
    probe.ComputerName = QStringLiteral("127.0.0.1");
    probe.TCPPort = port;
    probe.Timeout = 200;
    ASSERT_EQ(probe.GetECRStatus(), 0) << probe.ResultCodeDescription.toStdString();
    EXPECT_EQ(probe.ECRMode, 4);
    ASSERT_EQ(probe.FNGetStatus(), 0);
    EXPECT_EQ(probe.FNLifeState, 3);
    probe.Disconnect();

    TFerrun nobody;
    nobody.ConnectionType = 6;
    nobody.ComputerName = QStringLiteral("127.0.0.1");
    nobody.TCPPort = 1;
    EXPECT_EQ(nobody.GetECRStatus(), -2);
}

TEST_F(FerrunBenchTest, FaultsNeverHang) {
    TFerrun driver;
    OnPort(driver, "rs2", 115200);
    const struct {
        std::vector<std::string> Fault;
        int Expected;
    } cases[] = {
        {{"fault", "badlrc"}, -3},
        {{"fault", "silent"}, -1},
        {{"fault", "garbage", "100"}, -3},
        {{"fault", "cut", "1"}, -1},
        {{"busy", "1"}, 80},
        {{"error", "0x10", "0x74", "1"}, 116},
    };
    for (const auto &c : cases) {
        Control("p2", c.Fault);
        EXPECT_EQ(driver.GetShortECRStatus(), c.Expected) << c.Fault[1];
        Control("p2", {"fault", "none"});
        std::this_thread::sleep_for(150ms); // a cut frame times out in the device
        EXPECT_EQ(driver.GetShortECRStatus(), 0) << "after " << c.Fault[1];
    }
}

TEST_F(FerrunBenchTest, DriversOnSeveralPortsAtOnce) {
    const std::pair<const char *, int> ports[] = {{"rs0", 24}, {"rs1", 16}, {"rs2", 52}};
    const int rates[] = {4800, 115200, 115200};
    int ok[3] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            TFerrun driver;
            OnPort(driver, ports[i].first, rates[i]);
            for (int n = 0; n < 10; ++n)
                ok[i] += driver.GetDeviceMetrics() == 0 && driver.UModel == ports[i].second &&
                         driver.GetECRStatus() == 0;
        });
    }
    for (auto &t : threads)
        t.join();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ok[i], 10) << ports[i].first;
}
