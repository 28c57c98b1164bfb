#pragma once

#include "core/errors.h"
#include "core/log.h"
#include "sim/bench.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>

// Fiscal printers on loopback TCP whose fiscal memories (an LPC1114/302, an LPC1112/202 and an
// LPC1112/203) are reached through the line relay, and a model without the relay.
inline constexpr std::string_view TunnelSetupText = R"(
device ptk fiscal-tm40k
tcp 0 ptk
device ptk202 fiscal-solant fm=623153195
tcp 0 ptk202
device ptk203 fiscal-tc40md fm=131106
tcp 0 ptk203
device plain fiscal-ostrel04
tcp 0 plain
)";

// A bench with one main-board LPC1778 (rs0), an LPC1112/203 (rs1) and an LPC1114/302 (rs2)
// in their bootloaders, pacing off, and the log going to a file of the test's own. A test may
// bring its own setup.
class IspBench : public ::testing::Test {
protected:
    void SetUp() override {
        sim::BenchOptions Options;
        Options.Folder = FDir.filePath(QStringLiteral("bench"));
        Options.Pacing = false;
        FBench = std::make_unique<sim::Bench>(sim::BenchSetup::Parse(SetupText()), Options);
        FBench->Start();
        GlobalLog().SetFileName(FDir.filePath(QStringLiteral("isp.log")));
        GlobalLog().SetEnabled(true);
    }
    virtual std::string_view SetupText() const {
        return R"(
device board lpc-isp part=655966023
device fm lpc-isp part=131106
device fm302 lpc-isp part=624955435
port rs0 rs232 board
port rs1 rs232 fm
port rs2 rs232 fm302
)";
    }
    void TearDown() override {
        GlobalLog().SetEnabled(false);
        FBench->Stop();
    }
    std::string Control(const std::string &Line) { return FBench->Execute(Line); }
    // The message of the system's exception the operation raises.
    static QString Failure(const std::function<void()> &Operation) {
        try {
            Operation();
        } catch (const Exception &e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    }
    QString Log() const {
        QFile File(GlobalLog().CurrentFileName());
        if (!File.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(File.readAll());
    }
    // Occurrences of the text in the log since the mark (a length of the log taken earlier).
    int LogCount(const QString &Text, qsizetype Mark = 0) const {
        return static_cast<int>(Log().mid(Mark).count(Text));
    }
    qsizetype LogMark() const { return Log().size(); }

    QTemporaryDir FDir;
    std::unique_ptr<sim::Bench> FBench;
};
