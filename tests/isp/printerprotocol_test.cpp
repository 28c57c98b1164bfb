// The printer link protocol against the bench's printer.
#include "isp/printerprotocol.h"
#include "serial/linkframe.h"
#include "sim/bench.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const std::string SwitchData("\xFE\xFD\0\0\0\0", 6);

class PrinterProtocolTest : public ::testing::Test {
protected:
    PrinterProtocolTest()
        : bench(sim::BenchSetup::Parse("device p1 printer-link baud=57600\nport usb0 usb p1\n")) {
        bench.Start();
        port.SetPortName(bench.PortPath("usb0"));
        port.SetBaudRate(57600);
        port.SetClosePause(10ms);
    }

    // Send's outcome: empty when it returned, else the message and whether it was the port's own.
    QString Outcome(TCommandRec &command) {
        try {
            protocol.Send(command);
        } catch (const ESerialPortException &e) {
            return QStringLiteral("port: ") + e.Message();
        } catch (const Exception &e) {
            return e.Message();
        }
        return {};
    }

    static TCommandRec Command(const std::string &data) {
        TCommandRec command;
        command.Code = static_cast<std::uint8_t>(data[0]);
        command.Name = QStringLiteral("Test");
        command.Command = data;
        command.Timeout = 300;
        return command;
    }

    sim::Bench bench;
    TSerialPort port;
    TPrinterProtocol protocol{port};
};

TEST(PrinterProtocolEncode, FramesTheSwitchCommand) {
    EXPECT_EQ(TPrinterProtocol::Encode(SwitchData), std::string("\x02\x06\xFE\xFD\0\0\0\0\x05", 9));
}

TEST_F(PrinterProtocolTest, CommandAndAnswer) {
    TCommandRec command = Command("\x11\x1E");
    EXPECT_EQ(Outcome(command), QString());
    EXPECT_EQ(command.Answer, "\x11\x37");
    EXPECT_EQ(command.TxData, linkframe::EncodeFrame(command.Command));
    EXPECT_EQ(command.RxData, linkframe::EncodeFrame("\x11\x37"));
}

TEST_F(PrinterProtocolTest, SwitchIsSilentOnlyWithTheJumper) {
    TCommandRec command = Command(SwitchData);
    EXPECT_EQ(Outcome(command), QString());
    ASSERT_EQ(bench.Execute("p1 jumper on"), "ok");
    EXPECT_EQ(Outcome(command), QStringLiteral("Нет связи"));
}

TEST_F(PrinterProtocolTest, PendingAnswerIsReadAndDiscarded) {
    // A frame whose answer the host never acknowledged leaves the device holding it.
    port.Write(linkframe::EncodeFrame("\x10"));
    port.SetTimeout(300);
    EXPECT_EQ(port.Read(6), linkframe::ACK + linkframe::EncodeFrame("\x10\x37"));

    TCommandRec command = Command("\x11");
    EXPECT_EQ(Outcome(command), QStringLiteral("Нет связи"));

    // Send's own ACK released it: the same happens again with a larger limit, which then goes on.
    port.Write(linkframe::EncodeFrame("\x10"));
    EXPECT_EQ(port.Read(6), linkframe::ACK + linkframe::EncodeFrame("\x10\x37"));
    protocol.SetMaxENQCount(3);
    EXPECT_EQ(Outcome(command), QString());
    EXPECT_EQ(command.Answer, "\x11\x37");
}

TEST_F(PrinterProtocolTest, LinkFaults) {
    const struct {
        const char *Fault;
        QString Outcome;
    } cases[] = {
        {"nak", QStringLiteral("Нет связи")},    {"badlrc", QStringLiteral("Нет связи")},
        {"silent", QStringLiteral("Нет связи")}, {"short", QStringLiteral("port: нет связи")},
        {"noise", QStringLiteral("Нет связи")},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(bench.Execute(std::string("p1 fault ") + c.Fault), "ok");
        TCommandRec command = Command("\x11");
        EXPECT_EQ(Outcome(command), c.Outcome) << c.Fault;
        ASSERT_EQ(bench.Execute("p1 power"), "ok");
    }
}

TEST_F(PrinterProtocolTest, WrongRateAndMissingPort) {
    port.SetBaudRate(9600);
    TCommandRec command = Command("\x11");
    EXPECT_EQ(Outcome(command), QStringLiteral("Нет связи"));

    // A port that stays closed makes the first transfer fail with the system's error.
    TSerialPort missing;
    missing.SetPortName(QStringLiteral("ttyUSB77"));
    missing.SetTryOpenIfError(true);
    TPrinterProtocol lost(missing);
    EXPECT_THROW(lost.Send(command), Exception);
}

} // namespace
