// The bench in-process, reached through real pseudo-terminals, its control socket and TCP.
#include "platform/benchio.h"
#include "serial/linkframe.h"
#include "serial/serialport.h"
#include "sim/bench.h"
#include "sim/printerlink.h"
#include "tests/support/printers.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

class BenchTest : public ::testing::Test {
protected:
    void StartBench(const char *setup, bool pacing = true) {
        bench = std::make_unique<sim::Bench>(sim::BenchSetup::Parse(setup),
                                             sim::BenchOptions{QString(), pacing});
        bench->Start();
    }

    void TearDown() override {
        if (bench)
            bench->Stop();
    }

    // A port on the bench's port at the rate, with short time-outs.
    std::unique_ptr<TSerialPort> PortOn(const std::string &name, unsigned rate) {
        auto port = std::make_unique<TSerialPort>();
        port->SetPortName(bench->PortPath(name));
        port->SetBaudRate(rate);
        port->SetTimeout(300);
        port->SetClosePause(10ms);
        return port;
    }

    // Reads what comes within the port's time-out, byte by byte.
    static std::string Drain(TSerialPort &port) {
        std::string bytes;
        std::uint8_t c = 0;
        while (port.ReadChar(c))
            bytes += static_cast<char>(c);
        return bytes;
    }

    static void WaitUntil(const std::function<bool()> &condition) {
        const auto until = SteadyClock::now() + 3s;
        while (!condition() && SteadyClock::now() < until) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
    }

    std::unique_ptr<sim::Bench> bench;
};

constexpr const char *printerSetup = "device p1 printer-link baud=115200\n"
                                     "port rs0 rs232 p1\n"
                                     "port usb0 usb p1 ПТК по USB\n";

TEST_F(BenchTest, AnswersOnlyAtTheDevicesRate) {
    StartBench(printerSetup);
    auto port = PortOn("rs0", 115200);
    port->Open();
    port->Write(std::string(1, linkframe::ENQ));
    EXPECT_EQ(Drain(*port), std::string(1, linkframe::NAK));
    port->Write(linkframe::EncodeFrame("\x11\x01\x00\x00\x00"));
    EXPECT_EQ(Drain(*port), linkframe::ACK + linkframe::EncodeFrame("\x11\x37"));

    port->SetBaudRate(9600);
    port->Write(std::string(1, linkframe::ENQ));
    EXPECT_EQ(Drain(*port), "");

    // The device's rate may change from the control interface.
    EXPECT_EQ(bench->Execute("p1 baud 9600"), "ok");
    port->Write(std::string(1, linkframe::ENQ));
    EXPECT_EQ(Drain(*port), linkframe::ACK + linkframe::EncodeFrame("\x11\x37"));
}

TEST_F(BenchTest, PacesItsBytesAtTheRate) {
    // Seven bytes at 2400 Bd take 29 ms on the line; no loaded machine makes that shorter.
    StartBench("device p1 printer-link baud=2400\nport rs0 rs232 p1\n");
    auto port = PortOn("rs0", 2400);
    port->Open();
    port->Write(linkframe::EncodeFrame("\x10\x01"));
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->Read(6), linkframe::ACK + linkframe::EncodeFrame("\x10\x37"));
    EXPECT_GE(SteadyClock::now() - start, 20ms);
}

TEST_F(BenchTest, NoPacedByteComesBeforeItsTime) {
    // The bench hands bytes over in groups; a group must not go out before its last byte is
    // due. At 2400 Bd a byte takes 1/240 s: the echo and answer of "Synchronized" are 18 bytes.
    StartBench("device chip lpc-isp part=624955435 baud=2400\nport rs0 rs232 chip\n");
    auto port = PortOn("rs0", 2400);
    port->SetTimeout(1000);
    port->Open();
    port->Write("?");
    EXPECT_EQ(port->Read(14), "Synchronized\r\n");
    const std::string expected = "Synchronized\r\nOK\r\n";
    port->Write("Synchronized\r\n");
    const auto start = SteadyClock::now();
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(port->ReadByte(), static_cast<std::uint8_t>(expected[k])) << k;
        EXPECT_GE(SteadyClock::now() - start, (k + 1) * 1000000us / 240) << "byte " << k;
    }
}

TEST_F(BenchTest, JumperDecidesWhetherTheSwitchIsAnswered) {
    StartBench(printerSetup, false);
    auto port = PortOn("usb0", 115200);
    const std::string switchFrame = linkframe::EncodeFrame(std::string("\xFE\xFD\0\0\0\0", 6));
    port->Write(switchFrame);
    EXPECT_EQ(Drain(*port), linkframe::ACK + linkframe::EncodeFrame("\xFE\x37"));
    EXPECT_EQ(bench->Execute("p1 jumper on"), "ok");
    port->Write(switchFrame);
    EXPECT_EQ(Drain(*port), "");
    bench->WithDevice("p1", [](sim::Device &device) {
        EXPECT_EQ(dynamic_cast<sim::PrinterLinkDevice &>(device).Switches(), 1);
    });
    EXPECT_EQ(bench->Execute("p1 state"), "baud=115200 jumper=on fault=none switches=1");
    EXPECT_EQ(bench->Execute("p1 jumper maybe"), "error: jumper on|off");
}

TEST_F(BenchTest, UnplugFailsTheReadAndPlugBringsThePortBack) {
    StartBench(printerSetup);
    auto port = PortOn("rs0", 115200);
    port->SetTimeout(5000);
    port->Open();
    std::thread unplug([&] {
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(bench->Execute("unplug rs0"), "ok");
    });
    const auto start = SteadyClock::now();
    EXPECT_THROW(port->Read(3), ESerialPortException);
    EXPECT_LT(SteadyClock::now() - start, 3s);
    unplug.join();
    EXPECT_FALSE(port->GetOpened());
    EXPECT_THROW(port->Open(), ESerialPortDenied);
    EXPECT_EQ(bench->Execute("plug rs0"), "ok");
    port->SetTimeout(300);
    port->Write(std::string(1, linkframe::ENQ));
    EXPECT_EQ(Drain(*port), std::string(1, linkframe::NAK));
}

TEST_F(BenchTest, RemovalOfTheBenchPortReachesTheNotifications) {
    StartBench(printerSetup);
    auto port = PortOn("usb0", 115200);
    port->Open();
    TDeviceNotification watcher;
    watcher.InstallUSB();
    QStringList changes;
    watcher.SetOnUSBChange([&](const QString &name, int code) {
        changes << QStringLiteral("usb %1 %2").arg(name).arg(code, 0, 16);
    });
    watcher.SetOnPortChange([&](const QString &names, int code) {
        changes << QStringLiteral("port %1 %2").arg(names).arg(code, 0, 16);
    });
    // The folder watcher sees the bench's ports first.
    QCoreApplication::processEvents();
    EXPECT_EQ(bench->Execute("unplug usb0"), "ok");
    WaitUntil([&] { return !port->GetOpened() && changes.size() >= 2; });
    EXPECT_FALSE(port->GetOpened());
    const QString link = bench->PortPath("usb0");
    EXPECT_EQ(changes, QStringList({QStringLiteral("usb %1 8004").arg(link),
                                    QStringLiteral("port ttyBENCH1\r\n 8004")}));
    changes.clear();
    EXPECT_EQ(bench->Execute("plug usb0"), "ok");
    WaitUntil([&] { return changes.size() >= 2; });
    EXPECT_EQ(changes.value(0), QStringLiteral("usb %1 8000").arg(link));
}

TEST_F(BenchTest, ControlSocketAndTcpEndpoint) {
    StartBench("device p1 printer-link\nport rs0 rs232 p1\ntcp 0 p1\n");
    const int control = platform::ConnectLocal(bench->ControlPath());
    ASSERT_GE(control, 0);
    const auto ask = [&](std::string_view line) {
        EXPECT_EQ(platform::WriteSome(control, line).Count, line.size());
        std::string reply;
        char c = 0;
        const auto until = SteadyClock::now() + 3s;
        while (SteadyClock::now() < until) {
            const platform::TransferResult got = platform::ReadSome(control, &c, 1);
            if (got.Count == 1 && c == '\n')
                break;
            reply.append(&c, got.Count);
        }
        return reply;
    };
    const std::uint16_t tcp = bench->TcpPort("p1");
    ASSERT_NE(tcp, 0);
    EXPECT_EQ(ask("list\n"), "ok rs0 " + bench->PortPath("rs0").toStdString() +
                                 " rs232 p1 plugged; tcp" + std::to_string(tcp) +
                                 " 127.0.0.1:" + std::to_string(tcp) + " tcp p1");
    EXPECT_EQ(ask("p1 fault nak\n"), "ok");
    EXPECT_EQ(ask("nobody home\n"), "error: unknown command or device \"nobody\"");

    // No rate on a TCP link; the fault set above applies there too.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), tcp);
    ASSERT_TRUE(socket.waitForConnected(3000));
    socket.write(QByteArray::fromStdString(linkframe::EncodeFrame("\x10")));
    ASSERT_TRUE(socket.waitForReadyRead(3000));
    EXPECT_EQ(socket.readAll(), QByteArray(1, linkframe::NAK));
    socket.write(QByteArray(1, linkframe::ENQ));
    ASSERT_TRUE(socket.waitForReadyRead(3000));
    EXPECT_EQ(socket.readAll(), QByteArray(1, linkframe::NAK));

    EXPECT_EQ(ask("quit\n"), "ok");
    EXPECT_TRUE(bench->QuitRequested());
    platform::CloseHandle(control);
}

TEST_F(BenchTest, RefusesASecondBenchInItsFolderAndCleansUp) {
    StartBench(printerSetup);
    sim::Bench second(sim::BenchSetup::Default());
    EXPECT_THROW(second.Start(), std::runtime_error);
    const QString link = bench->PortPath("rs0");
    EXPECT_TRUE(QFileInfo::exists(link));
    bench->Stop();
    EXPECT_FALSE(QFileInfo::exists(link));
    EXPECT_FALSE(QFileInfo::exists(link + QStringLiteral(".port")));
    EXPECT_FALSE(QFileInfo::exists(bench->ControlPath()));

    sim::Bench unknown(sim::BenchSetup::Parse("device x no-such-kind\n"));
    EXPECT_THROW(unknown.Start(), std::runtime_error);
}

} // namespace
