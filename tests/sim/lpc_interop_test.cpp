// An independent ISP tool writes through the bench as it would into a real chip.
#include "isp/ispdevice.h"
#include "sim/bench.h"
#include "sim/lpc/heximage.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Lpc21ispInterop : public ::testing::Test {
protected:
    void SetUp() override {
        FTool = QStandardPaths::findExecutable(QStringLiteral("lpc21isp"));
        if (FTool.isEmpty())
            GTEST_SKIP() << "lpc21isp is not installed";
        sim::BenchOptions Options;
        Options.Folder = FDir.filePath(QStringLiteral("bench"));
        Options.Pacing = false;
        FBench = std::make_unique<sim::Bench>(sim::BenchSetup::Parse(R"(
device board lpc-isp part=655966023
device fm lpc-isp part=624955435
port rs0 rs232 board
port rs1 rs232 fm
)"),
                                              Options);
        FBench->Start();
    }

    // Runs the tool on a HEX file of the image; returns its exit code, output in FOutput.
    int Flash(const std::string &Image, const std::string &Port, int Baud, bool Verify) {
        const std::string Hex = FDir.filePath(QStringLiteral("image.hex")).toStdString();
        sim::lpc::WriteHexImage(Hex, Image);
        QStringList Args{QStringLiteral("-donotstart"), QStringLiteral("-debug2")};
        if (Verify)
            Args << QStringLiteral("-verify");
        Args << QString::fromStdString(Hex) << FBench->PortPath(Port) << QString::number(Baud)
             << QStringLiteral("12000");
        QProcess Tool;
        Tool.setProcessChannelMode(QProcess::MergedChannels);
        Tool.start(FTool, Args);
        if (!Tool.waitForFinished(60000)) {
            Tool.kill();
            Tool.waitForFinished();
            return -1;
        }
        FOutput = Tool.readAll().toStdString();
        return Tool.exitCode();
    }

    QTemporaryDir FDir;
    QString FTool;
    std::unique_ptr<sim::Bench> FBench;
    std::string FOutput;
};

TEST_F(Lpc21ispInterop, WritesAndVerifiesTheLpc1778) {
    const std::string Image = sim::lpc::RandomUserImage(100 * 1024, 1);
    ASSERT_EQ(Flash(Image, "rs0", 57600, true), 0) << FOutput;
    EXPECT_NE(FOutput.find("Download Finished and Verified correct"), std::string::npos) << FOutput;
    const std::string Hex = FDir.filePath(QStringLiteral("image.hex")).toStdString();
    EXPECT_EQ(FBench->Execute("board flash-compare " + Hex), "equal 102400 bytes");
}

TEST_F(Lpc21ispInterop, WritesTheLpc1114AndTheSystemReadsItBack) {
    // The tool's own compare skips only 64 bytes of the 512 the LPC11xx boot ROM maps at 0, as
    // on the chip; so the read-back after the remap routine is the system's.
    const std::string Image = sim::lpc::RandomUserImage(32 * 1024, 2);
    ASSERT_EQ(Flash(Image, "rs1", 115200, false), 0) << FOutput;
    const std::string Hex = FDir.filePath(QStringLiteral("image.hex")).toStdString();
    EXPECT_EQ(FBench->Execute("fm flash-compare " + Hex), "equal 32768 bytes");

    FBench->Execute("fm reset");
    TISPDevice Device;
    Device.FPortName = FBench->PortPath("rs1");
    Device.FTimeout = 500;
    Device.Port().SetClosePause(std::chrono::milliseconds(0));
    for (const TNXPProcessorRec &R : FiscalMemoryProcessors())
        Device.AddProcessor(R);
    Device.Connect();
    Device.Hello();
    EXPECT_EQ(Device.ReadPartID(), QStringLiteral("624955435"));
    Device.RunPrepareCode();
    std::string Back;
    for (std::uint32_t Address = 0; Address < Image.size(); Address += 512)
        Back += Device.ReadMemory(Address, 512);
    EXPECT_EQ(Back, Image);
}

} // namespace
