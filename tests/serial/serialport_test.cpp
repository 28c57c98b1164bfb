// The serial port against real pseudo-terminals: the test holds the device side.
#include "platform/benchio.h"
#include "serial/serialport.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(peer.Open(), 0);
        port.SetPortName(peer.HostPath());
        port.SetClosePause(20ms);
    }

    // Bytes the host sent, waiting a little for them to arrive.
    std::string PeerReceived(size_t count) {
        std::string received;
        const auto until = SteadyClock::now() + 3s;
        while (received.size() < count && SteadyClock::now() < until) {
            char buffer[256];
            const platform::TransferResult got =
                platform::ReadSome(peer.Handle(), buffer, sizeof buffer);
            received.append(buffer, got.Count);
            if (got.Count == 0)
                std::this_thread::sleep_for(5ms);
        }
        return received;
    }

    void PeerSend(std::string_view bytes) {
        ASSERT_EQ(platform::WriteSome(peer.Handle(), bytes).Count, bytes.size());
    }

    // A read of count bytes that would wait 10 s ends soon after a cancel from another thread.
    void ExpectCancelEndsRead(unsigned count) {
        port.SetTimeout(10000);
        std::thread canceller([&] {
            std::this_thread::sleep_for(200ms);
            port.Cancel();
        });
        const auto start = SteadyClock::now();
        EXPECT_EQ(MessageOf<EAbort>([&] { port.Read(count); }),
                  QStringLiteral("Операция отменена"));
        EXPECT_LT(SteadyClock::now() - start, 3s);
        canceller.join();
    }

    template <typename E, typename F>
    static QString MessageOf(F &&action) {
        try {
            action();
        } catch (const E &e) {
            return e.Message();
        }
        return QStringLiteral("<no exception>");
    }

    platform::PtyMaster peer;
    TSerialPort port;
};

TEST_F(SerialPortTest, ExchangesBytesBothWays) {
    port.Write(std::string("\x05\x00\xff", 3));
    EXPECT_EQ(PeerReceived(3), std::string("\x05\x00\xff", 3));
    PeerSend("abc");
    EXPECT_EQ(port.Read(2), "ab");
    EXPECT_EQ(port.ReadByte(), 'c');
    std::uint8_t c = 0;
    port.SetTimeout(100);
    EXPECT_FALSE(port.ReadChar(c));
    PeerSend("z");
    EXPECT_TRUE(port.ReadChar(c));
    EXPECT_EQ(c, 'z');
}

// The port buffers whatever one OS read finds; these sends let all of it arrive first, so that
// the first read of each test takes the whole burst into the buffer.
TEST_F(SerialPortTest, ReadsSpanBufferedAndNewBytes) {
    port.SetTimeout(2000);
    port.Open();
    PeerSend("abc");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.Read(1), "a");
    std::uint8_t c = 0;
    EXPECT_TRUE(port.ReadChar(c));
    EXPECT_EQ(c, 'b');
    std::thread late([&] {
        std::this_thread::sleep_for(200ms);
        PeerSend("de");
    });
    EXPECT_EQ(port.Read(3), "cde");
    late.join();
}

TEST_F(SerialPortTest, PurgeAndCloseDropBufferedBytes) {
    port.SetTimeout(100);
    port.Open();
    PeerSend("abcdef");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.Read(2), "ab");
    port.Purge();
    std::uint8_t c = 0;
    EXPECT_FALSE(port.ReadChar(c));
    PeerSend("x");
    EXPECT_EQ(port.Read(1), "x");

    PeerSend("wxyz");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.ReadByte(), 'w');
    port.Close();
    port.Open();
    EXPECT_FALSE(port.ReadChar(c));
    EXPECT_EQ(MessageOf<ESerialPortException>([&] { port.Read(1); }), QStringLiteral("нет связи"));
}

TEST_F(SerialPortTest, CancelledPortKeepsBufferedBytesUntilReset) {
    port.SetTimeout(1000);
    port.Open();
    PeerSend("abc");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.Read(1), "a");
    port.Cancel();
    EXPECT_EQ(MessageOf<EAbort>([&] { port.Read(1); }), QStringLiteral("Операция отменена"));
    EXPECT_THROW(port.ReadByte(), EAbort);
    port.Reset();
    EXPECT_EQ(port.Read(2), "bc");

    // A read that has what is buffered and waits for the rest still ends on a cancel.
    PeerSend("d");
    std::this_thread::sleep_for(50ms);
    ExpectCancelEndsRead(3);
}

TEST_F(SerialPortTest, SilentLineFailsAfterItsDeadlineNotBefore) {
    // 2500 ms takes three OS waits of at most a second each.
    port.SetTimeouts(1000, 0, 2500, 0, 1000);
    port.Open();
    const auto start = SteadyClock::now();
    EXPECT_EQ(MessageOf<ESerialPortException>([&] { port.Read(10); }), QStringLiteral("нет связи"));
    const auto elapsed = SteadyClock::now() - start;
    EXPECT_GE(elapsed, 2500ms);
    EXPECT_LT(elapsed, 6s);
}

TEST_F(SerialPortTest, ReadCompletedOnlyAfterTheDeadlineStillFails) {
    port.SetTimeouts(2000, 0, 200, 0, 1000);
    port.Open();
    PeerSend("a");
    std::thread late([&] {
        std::this_thread::sleep_for(600ms);
        PeerSend("b");
    });
    EXPECT_EQ(MessageOf<ESerialPortException>([&] { port.Read(2); }), QStringLiteral("нет связи"));
    late.join();
}

TEST_F(SerialPortTest, CancelFromAnotherThreadEndsABlockedRead) {
    port.Open();
    ExpectCancelEndsRead(5);

    // A cancelled port refuses to open until Reset or Close.
    port.Close();
    port.Cancel();
    EXPECT_EQ(MessageOf<EAbort>([&] { port.Open(); }), QStringLiteral("Операция отменена"));
    EXPECT_THROW(port.Write("x"), EAbort);
    port.Reset();
    port.Open();
    EXPECT_TRUE(port.GetOpened());
    port.Cancel();
    port.Close();
    port.Open();
    EXPECT_TRUE(port.GetOpened());
}

TEST_F(SerialPortTest, EmptyTransfersDoNotOpen) {
    port.SetPortName(QStringLiteral("/nonexistent/ttyNONE"));
    EXPECT_EQ(port.Read(0), "");
    port.Write("");
    EXPECT_FALSE(port.GetOpened());
}

TEST_F(SerialPortTest, PortNameChangeClosesOnlyForANewName) {
    port.Open();
    port.SetPortName(peer.HostPath());
    EXPECT_TRUE(port.GetOpened());
    port.SetPortName(QStringLiteral("ttyS0"));
    EXPECT_FALSE(port.GetOpened());
    EXPECT_EQ(port.GetPortName(), QStringLiteral("ttyS0"));
    port.SetPortNumber(102);
    EXPECT_EQ(port.GetPortName(), QStringLiteral("ttyUSB1"));
}

TEST_F(SerialPortTest, BusyAndMissingPortsAreDenied) {
    port.Open();
    TSerialPort other;
    other.SetPortName(peer.HostPath());
    EXPECT_EQ(MessageOf<ESerialPortDenied>([&] { other.Open(); }),
              QStringLiteral("Невозможно открыть порт \"%1\"").arg(peer.HostPath()));
    EXPECT_FALSE(other.GetOpened());

    TSerialPort missing;
    missing.SetPortName(QStringLiteral("ttyUSB77"));
    EXPECT_EQ(MessageOf<ESerialPortDenied>([&] { missing.Open(); }),
              QStringLiteral("Невозможно открыть порт \"ttyUSB77\""));

    // Tolerant open: a short pause, no error, and the next transfer fails on the closed handle.
    missing.SetTryOpenIfError(true);
    const auto start = SteadyClock::now();
    missing.Open();
    EXPECT_GE(SteadyClock::now() - start, 100ms);
    EXPECT_FALSE(missing.GetOpened());
    std::uint8_t c = 0;
    EXPECT_THROW(missing.ReadChar(c), Exception);
}

TEST_F(SerialPortTest, RemovalNoticeClosesAndWriteReopens) {
    port.Open();
    platform::DeviceEvent other;
    other.Kind = platform::DeviceEvent::Action::Removal;
    other.DeviceNode = QStringLiteral("/dev/ttyUSB9");
    port.Notification().DeviceChanged(other);
    EXPECT_TRUE(port.GetOpened());

    platform::DeviceEvent own = other;
    own.DeviceNode = peer.HostPath();
    port.Notification().DeviceChanged(own);
    EXPECT_FALSE(port.GetOpened());
    port.Write("x");
    EXPECT_TRUE(port.GetOpened());
    EXPECT_EQ(PeerReceived(1), "x");
}

TEST_F(SerialPortTest, VanishingDeviceFailsTheReadAndTheNextOpen) {
    port.SetTimeout(5000);
    port.Open();
    std::thread unplug([&] {
        std::this_thread::sleep_for(200ms);
        peer.Close();
    });
    const auto start = SteadyClock::now();
    EXPECT_THROW(port.Read(4), ESerialPortException);
    EXPECT_LT(SteadyClock::now() - start, 3s);
    unplug.join();
    EXPECT_FALSE(port.GetOpened());
    EXPECT_THROW(port.Open(), ESerialPortDenied);
}

TEST_F(SerialPortTest, EveryRateReachesTheLine) {
    port.Open();
    for (const unsigned rate :
         {2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u}) {
        port.SetBaudRate(rate);
        EXPECT_EQ(peer.BaudRate(), rate);
    }
    EXPECT_THROW(port.SetBaudRate(12345), Exception);
}

TEST_F(SerialPortTest, ModemLinesOfAPseudoTerminal) {
    // Opening leaves the missing modem lines alone; asking for them explicitly is an error.
    port.Open();
    EXPECT_THROW(port.SetDTRState(true), Exception);
    EXPECT_THROW(port.SetRTSState(true), Exception);
    EXPECT_FALSE(port.GetDTRState());
    port.Purge();
    port.Flush();
}

} // namespace
