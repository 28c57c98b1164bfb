#include "platform/portnames.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

namespace {

TEST(PortNames, NumbersAndNamesOfDeviceNodes) {
    const struct {
        const char *Node;
        int Number;
        const char *Name;
    } cases[] = {
        {"/dev/ttyS0", 1, "ttyS0"},       {"ttyS3", 4, "ttyS3"},
        {"/dev/ttyUSB0", 101, "ttyUSB0"}, {"ttyUSB12", 113, "ttyUSB12"},
        {"/dev/ttyACM1", 202, "ttyACM1"}, {"/run/x/ttyBENCH0", 301, "ttyBENCH0"},
        {"ttyBENCH7", 308, "ttyBENCH7"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(platform::SerialPortNumber(QString::fromLatin1(c.Node)), c.Number) << c.Node;
        EXPECT_EQ(platform::SerialPortName(c.Number), QString::fromLatin1(c.Name)) << c.Node;
    }
    EXPECT_EQ(platform::SerialPortNumber(QString()), -1);
}

TEST(PortNames, OtherNodesKeepTheNumberTheyGotFirst) {
    const int first = platform::SerialPortNumber(QStringLiteral("/dev/ttyAMA0"));
    const int second = platform::SerialPortNumber(QStringLiteral("/dev/rfcomm0"));
    EXPECT_GE(first, 1001);
    EXPECT_NE(first, second);
    EXPECT_EQ(platform::SerialPortNumber(QStringLiteral("ttyAMA0")), first);
    EXPECT_EQ(platform::SerialPortName(first), QStringLiteral("ttyAMA0"));
    // A node outside a family's range must not take another family's number.
    EXPECT_GE(platform::SerialPortNumber(QStringLiteral("ttyS150")), 1001);
}

TEST(PortNames, PathsToOpen) {
    qputenv("KALIBRA_BENCH_DIR", "/tmp/bench-test");
    EXPECT_EQ(platform::BenchFolder(), QStringLiteral("/tmp/bench-test"));
    EXPECT_EQ(platform::SerialPortPath(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(platform::SerialPortPath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(platform::SerialPortPath(QStringLiteral("COM302")),
              QStringLiteral("/tmp/bench-test/ttyBENCH1"));
    EXPECT_EQ(platform::SerialPortPath(QStringLiteral("/dev/pts/4")), QStringLiteral("/dev/pts/4"));
    qunsetenv("KALIBRA_BENCH_DIR");
    EXPECT_TRUE(platform::BenchFolder().endsWith(QStringLiteral("/kalibra-bench")));
}

} // namespace
