#include "isp/ispdevice.h"
#include "isp/ispnetprotocol.h"
#include "tests/isp/benchfixture.h"
#include "tests/support/printers.h"

namespace {

class TunnelTest : public IspBench {
protected:
    std::string_view SetupText() const override { return TunnelSetupText; }
    std::unique_ptr<TISPDevice> Device(const std::string &Name) {
        auto D = std::make_unique<TISPDevice>(true);
        D->FIPAddress = QStringLiteral("127.0.0.1");
        D->FTCPPort = FBench->TcpPort(Name);
        for (const TNXPProcessorRec &R : FiscalMemoryProcessors())
            D->AddProcessor(R);
        return D;
    }
    std::unique_ptr<TISPDevice> Synchronised(const std::string &Name) {
        auto D = Device(Name);
        D->Connect();
        D->Hello();
        return D;
    }
};

} // namespace

TEST_F(TunnelTest, EachExchangeCollectsItsAnswerLines) {
    auto D = Synchronised("ptk");
    EXPECT_EQ(D->ReadPartID(), QStringLiteral("624955435"));
    EXPECT_EQ(D->Processor()->Rec().PartID, 624955435);
    // "J": echo, return code, part ID.
    EXPECT_EQ(D->Ferrun().FirstLineNumber, 1);
    EXPECT_EQ(D->Ferrun().LastLineNumber, 3);

    // Blank flash beyond the boot ROM's window at address 0.
    struct Case {
        int Size, Lines;
    } Cases[] = {{44, 4}, {48, 5}, {512, 15}};
    TISPNetProtocol Protocol(D->Ferrun());
    for (const Case &C : Cases) {
        const int DataLines = (C.Size + 44) / 45;
        Protocol.SendCommand(QStringLiteral("R 4096 %1").arg(C.Size), DataLines + 1);
        EXPECT_EQ(D->Ferrun().LastLineNumber, C.Lines) << C.Size;
        EXPECT_EQ(Protocol.ReadData(C.Size), std::string(static_cast<std::size_t>(C.Size), '\xFF'))
            << C.Size;
    }
    EXPECT_EQ(Protocol.ReadLine(), QString());
}

TEST_F(TunnelTest, HelloOfASynchronisedBootloaderSkipsTheHandshake) {
    auto D = Synchronised("ptk202");
    const qsizetype Mark = LogMark();
    D->Hello();
    EXPECT_EQ(LogCount(QStringLiteral("<- ?"), Mark), 1);
    EXPECT_EQ(LogCount(QStringLiteral("-> Synchronized"), Mark), 0);
    EXPECT_EQ(D->ReadPartID(), QStringLiteral("623153195"));
}

TEST_F(TunnelTest, ACorruptLineIsReadAgainAfterResend) {
    auto D = Synchronised("ptk");
    D->ReadPartID();
    Control("ptk fm fault corrupt-tx");
    const qsizetype Mark = LogMark();
    EXPECT_EQ(D->ReadMemory(8192, 512), std::string(512, '\xFF'));
    EXPECT_EQ(LogCount(QStringLiteral("-> RESEND"), Mark), 1);
    EXPECT_TRUE(D->Connected());
}

TEST_F(TunnelTest, FailuresDisconnectWithTheirMessages) {
    auto NoRelay = Device("plain");
    NoRelay->Connect();
    EXPECT_TRUE(Failure([&] { NoRelay->Hello(); }).startsWith(QStringLiteral("55, ")));
    EXPECT_FALSE(NoRelay->Connected());

    // The fiscal memory runs its program: nothing answers behind the relay.
    Control("ptk203 fm jumper off");
    Control("ptk203 fm reset");
    auto Silent = Synchronised("ptk203");
    EXPECT_EQ(Failure([&] { Silent->Unlock(); }), QStringLiteral("Некорректный ответ"));
    EXPECT_FALSE(Silent->Connected());

    auto Closed = Device("ptk");
    Closed->FTCPPort = 1;
    EXPECT_TRUE(Failure([&] { Closed->Connect(); }).startsWith(QStringLiteral("-")));
    EXPECT_FALSE(Closed->Connected());
}
