#include "core/errors.h"
#include "isp/ispdevice.h"
#include "isp/printerprotocol.h"
#include "serial/serialexceptions.h"
#include "sim/lpc/lpcbootloader.h"
#include "tests/isp/benchfixture.h"
#include "tests/support/printers.h"

#include <thread>

namespace {

std::string Pattern(std::size_t Count, unsigned Seed) {
    std::string Data;
    for (std::size_t i = 0; i < Count; ++i)
        Data += static_cast<char>((i * 13 + Seed + i / 256) & 0xFF);
    return Data;
}

class ISPDeviceTest : public IspBench {
protected:
    // A device on a bench port with the processor rows a task would load.
    std::unique_ptr<TISPDevice> Device(const std::string &Port, bool MainBoard, int Baud) {
        auto D = std::make_unique<TISPDevice>(false);
        D->FPortName = FBench->PortPath(Port);
        D->FBaudrate = Baud;
        D->FTimeout = 300;
        D->Port().SetClosePause(std::chrono::milliseconds(0));
        if (MainBoard)
            D->AddProcessor(LPC1778Processor());
        else
            for (const TNXPProcessorRec &R : FiscalMemoryProcessors())
                D->AddProcessor(R);
        return D;
    }
    std::vector<std::uint8_t> Flash(const std::string &Name) {
        std::vector<std::uint8_t> Bytes;
        FBench->WithDevice(
            Name, [&](sim::Device &D) { Bytes = dynamic_cast<sim::lpc::Bootloader &>(D).Flash(); });
        return Bytes;
    }
};

TEST_F(ISPDeviceTest, WriteAndReadBackThroughRamOnBothChips) {
    struct Case {
        std::string Port, Device;
        bool MainBoard;
        int Baud;
        QString Commands;
    } Cases[] = {
        {"rs0", "board", true, 57600, QStringLiteral("P 0 29")},
        {"rs2", "fm302", false, 115200, QStringLiteral("P 0 7")},
    };
    for (const Case &C : Cases) {
        auto D = Device(C.Port, C.MainBoard, C.Baud);
        const qsizetype Mark = LogMark();
        D->Connect();
        D->Prepare();
        const std::string Low = Pattern(1024, 1), High = Pattern(300, 2);
        D->Write1024(1024, High);
        D->Write1024(0, Low);
        const std::vector<std::uint8_t> F = Flash(C.Device);
        EXPECT_EQ(std::string(F.begin(), F.begin() + 1024), Low);
        EXPECT_EQ(std::string(F.begin() + 1024, F.begin() + 1324), High);
        EXPECT_EQ(std::string(F.begin() + 1324, F.begin() + 2048), std::string(724, '\xFF'));
        EXPECT_EQ(F[2048], 0xFF);
        D->RunPrepareCode();
        EXPECT_EQ(D->ReadMemory(0, 512), Low.substr(0, 512));
        EXPECT_EQ(D->ReadMemory(1024, 512), High + std::string(212, '\xFF'));
        D->Disconnect();
        const QString Log = this->Log().mid(Mark);
        EXPECT_EQ(LogCount(QStringLiteral("-> U 23130"), Mark), 3) << C.Device;
        EXPECT_GE(LogCount(QStringLiteral("-> ") + C.Commands, Mark), 3) << C.Device;
        EXPECT_TRUE(Log.contains(QStringLiteral("TISPDevice RunPrepareCode")));
        // Four 512-byte RAM blocks of 11 full UU lines ("M") and one of 17 bytes, and the
        // routine's single line.
        EXPECT_EQ(LogCount(QStringLiteral("TISPProtocol -> M"), Mark), 4 * 11) << C.Device;
        EXPECT_EQ(LogCount(QStringLiteral("TISPProtocol -> ["), Mark), 4 * 12 + 1) << C.Device;
    }
}

TEST_F(ISPDeviceTest, PartIdsDecideTheProcessor) {
    auto FM = Device("rs0", false, 57600);
    FM->Connect();
    FM->Hello();
    EXPECT_EQ(Failure([&] { FM->ReadPartID(); }),
              QStringLiteral("Неподдерживаемый тип процессора. Part ID: 655966023"));
    auto D = Device("rs2", false, 115200);
    D->Connect();
    D->Hello();
    EXPECT_EQ(D->ReadPartID(), QStringLiteral("624955435"));
    EXPECT_EQ(D->Processor()->Rec().SectorCount, 8);
    auto E = Device("rs1", false, 115200);
    E->Connect();
    E->Hello();
    EXPECT_EQ(E->ReadPartID(), QStringLiteral("131106"));
    EXPECT_EQ(E->Processor()->Rec().Name, QStringLiteral("Фискальная память (NXP LPC1112/203)"));
}

TEST_F(ISPDeviceTest, HelloWhenAlreadySynchronised) {
    auto D = Device("rs1", false, 115200);
    D->Connect();
    D->Hello();
    // The second "?" is echoed, not answered with "Synchronized".
    D->Hello();
    EXPECT_EQ(D->ReadPartID(), QStringLiteral("131106"));
}

TEST_F(ISPDeviceTest, ReturnCodeNineteenTwice) {
    auto D = Device("rs0", true, 57600);
    D->Connect();
    D->Hello();
    Control("board fault rc 19 2");
    const qsizetype Mark = LogMark();
    EXPECT_EQ(Failure([&] { D->ReadPartID(); }),
              QStringLiteral("ISP Error: 19, Code read protection enabled"));
    EXPECT_EQ(LogCount(QStringLiteral("ISP Error: 19, Code read protection enabled"), Mark), 1);
    EXPECT_EQ(LogCount(QStringLiteral("-> J"), Mark), 2);
}

TEST_F(ISPDeviceTest, FailingPrepareDisconnectsAndTheNextOperationReconnects) {
    auto D = Device("rs0", true, 57600);
    D->Connect();
    D->Hello();
    D->ReadPartID();
    Control("board fault rc 7 2");
    EXPECT_EQ(Failure([&] { D->PrepareSectors(); }),
              QStringLiteral("ISP Error: 7, Sector number is invalid"));
    EXPECT_FALSE(D->Connected());
    D->Unlock();
    EXPECT_TRUE(D->Connected());
}

TEST_F(ISPDeviceTest, Write1024RefusesMoreThanOneKilobyteBeforeSending) {
    auto D = Device("rs0", true, 57600);
    D->Connect();
    D->Hello();
    const qsizetype Mark = LogMark();
    EXPECT_EQ(Failure([&] { D->Write1024(0, std::string(1025, 'x')); }),
              QStringLiteral("Неверный размер данных (> 1024)"));
    EXPECT_EQ(LogCount(QStringLiteral("TISPProtocol -> "), Mark), 0);
    EXPECT_FALSE(D->Connected());
}

TEST_F(ISPDeviceTest, CorruptedLinesAreResentInBothDirections) {
    auto D = Device("rs1", false, 115200);
    D->Connect();
    D->Hello();
    D->ReadPartID();
    const std::string Data = Pattern(512, 4);
    Control("fm fault corrupt-rx");
    const qsizetype Mark = LogMark();
    D->WriteToRAM(0x10000300, Data);
    EXPECT_EQ(LogCount(QStringLiteral("<- RESEND"), Mark), 1);
    // Every data line went out twice.
    EXPECT_EQ(LogCount(QStringLiteral("TISPProtocol -> ["), Mark), 24);
    Control("fm fault corrupt-tx");
    EXPECT_EQ(D->ReadMemory(0x10000300, 512), Data);
    EXPECT_EQ(LogCount(QStringLiteral("-> RESEND"), Mark), 1);
}

TEST_F(ISPDeviceTest, ResendLimit) {
    auto D = Device("rs1", false, 115200);
    D->Connect();
    D->Hello();
    D->SetMaxResendCount(1);
    Control("fm fault corrupt-rx");
    EXPECT_EQ(Failure([&] { D->WriteToRAM(0x10000300, Pattern(8, 1)); }),
              QStringLiteral("Неверная CRC"));
    EXPECT_FALSE(D->Connected());
    D->Connect();
    D->Hello();
    Control("fm fault corrupt-tx");
    EXPECT_EQ(Failure([&] { D->ReadMemory(0x10000300, 8); }),
              QStringLiteral("Ошибка контрольной суммы"));
    D->SetMaxResendCount(0);
    EXPECT_EQ(Failure([&] { D->WriteToRAM(0x10000300, Pattern(8, 1)); }),
              QStringLiteral("Неверная CRC"));
}

TEST_F(ISPDeviceTest, SilentMidBlockAndDroppedLinesEndWithoutHanging) {
    auto D = Device("rs0", true, 57600);
    D->Connect();
    D->Hello();
    Control("board fault silent-after 200");
    EXPECT_EQ(Failure([&] { D->ReadMemory(0, 512); }), QStringLiteral("нет связи"));
    EXPECT_FALSE(D->Connected());
    Control("board reset");
    D->Connect();
    D->Hello();
    Control("board fault drop-line");
    EXPECT_EQ(Failure([&] { D->ReadPartID(); }), QStringLiteral("нет связи"));
    Control("board reset");
    D->Connect();
    D->Hello();
    // The checksum line is cut short: the block's sum cannot be read.
    Control("board fault silent-after 734");
    EXPECT_EQ(Failure([&] { D->ReadMemory(0, 512); }), QStringLiteral("Ошибка контрольной суммы"));
    Control("board reset");
    D->Connect();
    D->Hello();
    Control("board fault silent-after 30");
    EXPECT_EQ(Failure([&] { D->WriteToRAM(0x10000200, Pattern(512, 3)); }),
              QStringLiteral("нет связи"));
}

TEST_F(ISPDeviceTest, SilentDeviceAndMissingPort) {
    auto D = Device("rs0", true, 115200); // the board listens at 57600: all noise
    D->Connect();
    EXPECT_EQ(Failure([&] { D->Hello(); }), QStringLiteral("нет связи"));
    EXPECT_FALSE(D->Connected());
    auto M = Device("rs0", true, 57600);
    M->FPortName = FDir.filePath(QStringLiteral("nothing"));
    EXPECT_EQ(Failure([&] { M->Connect(); }),
              QStringLiteral("Невозможно открыть порт \"%1\"").arg(M->FPortName));
}

TEST_F(ISPDeviceTest, CancelFromAnotherThread) {
    auto D = Device("rs0", true, 57600);
    D->FTimeout = 5000;
    D->Connect();
    Control("board fault silent-after 0");
    QString Message;
    std::thread Worker([&] { Message = Failure([&] { D->Hello(); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto Start = std::chrono::steady_clock::now();
    D->Cancel();
    Worker.join();
    EXPECT_EQ(Message, QStringLiteral("Операция отменена"));
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(1500));
    EXPECT_GE(LogCount(QStringLiteral("TISPProtocol Cancel")), 1);
}

} // namespace

namespace {

class DefaultBenchTest : public ISPDeviceTest {
protected:
    std::string_view SetupText() const override { return sim::BenchSetup::DefaultText(); }
};

} // namespace

TEST_F(DefaultBenchTest, FiscalMemorySwitchedOverUsbAndMainBoardOnRs232) {
    TSerialPort Usb;
    Usb.SetPortName(FBench->PortPath("usb1"));
    Usb.SetBaudRate(115200);
    Usb.SetClosePause(std::chrono::milliseconds(0));
    TPrinterProtocol Printer(Usb);
    TCommandRec Switch;
    Switch.Command = std::string("\xFE\xFD\0\0\0\0", 6);
    Switch.Timeout = 300;
    // The device hands the port over instead of answering.
    EXPECT_THROW(Printer.Send(Switch), Exception);
    Usb.Close();

    auto FM = Device("usb1", false, 115200);
    FM->Connect();
    FM->Hello();
    EXPECT_EQ(FM->ReadPartID(), QStringLiteral("624955435"));
    auto Board = Device("rs1", true, 57600);
    Board->Connect();
    Board->Hello();
    EXPECT_EQ(Board->ReadPartID(), QStringLiteral("655966023"));
}
