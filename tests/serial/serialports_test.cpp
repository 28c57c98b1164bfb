// Port enumeration with the bench's ports, and the text rules of names from other systems.
#include "serial/devicenotification.h"
#include "serial/serialports.h"
#include "sim/bench.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialPortNames, ComNumberFromFriendlyName) {
    const struct {
        const char *Text;
        int Number;
    } cases[] = {
        {"Communications Port (COM1)", 1},
        {"USB Serial Port (COM12)", 12},
        {"Printer Port (LPT1)", -1},
        {"Odd (LPT1) (COM3)", -1},
        {"No number here", -1},
        {"Unclosed (COM4", -1},
        {"Letters (COMx)", -1},
        {"Empty (COM)", -1},
        {"lower case (com5)", -1},
        {"Two (COM7) and (COM8)", 7},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ComNumberFromFriendlyName(QString::fromLatin1(c.Text)), c.Number) << c.Text;
}

TEST(SerialPortNames, ParseVidPid) {
    const struct {
        const char *Name;
        unsigned Vid;
        unsigned Pid;
    } cases[] = {
        {"\\\\?\\USB#Vid_0403&Pid_6001#A123#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", 0x0403,
         0x6001},
        {"\\\\?\\USB#VID_0403&PID_6001#A123", 0, 0},
        {"USB#Vid_1fc9&Pid_zz01", 0x1fc9, 0},
        {"USB#Vid_12", 0x12, 0},
        {"no identity", 0, 0},
    };
    for (const auto &c : cases) {
        unsigned vid = 1;
        unsigned pid = 1;
        ParseVidPid(QString::fromLatin1(c.Name), vid, pid);
        EXPECT_EQ(vid, c.Vid) << c.Name;
        EXPECT_EQ(pid, c.Pid) << c.Name;
    }
    EXPECT_EQ(PortNamesFromDeviceName(QStringLiteral("USB#VID_0403&PID_6001")), QString());
    // An identity no present port has.
    EXPECT_EQ(PortNamesFromDeviceName(QStringLiteral("USB#Vid_fffe&Pid_fffd")), QString());
}

TEST(SerialPortEnumeration, ListsTheBenchPortsWithTheirKind) {
    sim::Bench bench(sim::BenchSetup::Parse("device p1 printer-link\n"
                                            "port rs0 rs232 p1 ПТК, RS-232\n"
                                            "port usb0 usb p1 ПТК, USB\n"));
    bench.Start();
    TSerialPorts ports;
    ports.Enumerate();
    const int rs = ports.IndexOfComNumber(301);
    const int usb = ports.IndexOfComNumber(302);
    ASSERT_GE(rs, 0);
    ASSERT_GE(usb, 0);
    EXPECT_EQ(ports[rs].Name, QStringLiteral("ttyBENCH0"));
    EXPECT_EQ(ports[rs].FriendlyName, QStringLiteral("ПТК, RS-232 (ttyBENCH0)"));
    EXPECT_EQ(ports[rs].DevicePath, bench.PortPath("rs0"));
    EXPECT_FALSE(ports[rs].IsUSB);
    EXPECT_TRUE(ports[usb].IsUSB);
    EXPECT_EQ(ports.IndexOfComNumber(307), -1);
    for (const TSerialPortRec &port : ports)
        EXPECT_GE(port.ComNumber, 0) << port.FriendlyName.toStdString();

    ASSERT_EQ(bench.Execute("unplug usb0"), "ok");
    ports.Enumerate();
    EXPECT_GE(ports.IndexOfComNumber(301), 0);
    EXPECT_EQ(ports.IndexOfComNumber(302), -1);
}

} // namespace

namespace {

TEST(DeviceNotification, RoutesSystemEventsToTheirHandlers) {
    TDeviceNotification notification;
    QStringList seen;
    notification.SetOnDeviceChange([&](int code, const QString &node) {
        seen << QStringLiteral("device %1 %2").arg(node).arg(code, 0, 16);
    });
    notification.SetOnUSBChange([&](const QString &name, int code) {
        seen << QStringLiteral("usb %1 %2").arg(name).arg(code, 0, 16);
    });
    notification.SetOnPortChange([&](const QString &names, int code) {
        seen << QStringLiteral("port %1%2").arg(names).arg(code, 0, 16);
    });
    platform::DeviceEvent adapter;
    adapter.Kind = platform::DeviceEvent::Action::Arrival;
    adapter.DeviceNode = QStringLiteral("/dev/ttyUSB0");
    adapter.UsbDevice = QStringLiteral("/sys/devices/pci0000:00/usb1/1-1");
    adapter.Vid = 0x0403;
    adapter.Pid = 0x6001;
    platform::DeviceEvent uart;
    uart.Kind = platform::DeviceEvent::Action::Removal;
    uart.DeviceNode = QStringLiteral("/dev/ttyS0");

    notification.DeviceChanged(adapter);
    EXPECT_TRUE(seen.isEmpty());

    notification.InstallUSB();
    notification.InstallHandle(QStringLiteral("/dev/ttyS0"));
    notification.DeviceChanged(adapter);
    notification.DeviceChanged(uart);
    EXPECT_EQ(seen, QStringList({QStringLiteral("usb /sys/devices/pci0000:00/usb1/1-1 8000"),
                                 QStringLiteral("port ttyUSB0\r\n8000"),
                                 QStringLiteral("device /dev/ttyS0 8004")}));
    seen.clear();
    notification.Uninstall();
    notification.DeviceChanged(adapter);
    notification.DeviceChanged(uart);
    EXPECT_TRUE(seen.isEmpty());
}

} // namespace
