#pragma once

#include <QString>
#include <memory>

struct udev;
struct udev_monitor;

namespace platform {

// One change of a tty device as the kernel reports it.
struct DeviceEvent {
    enum class Action { Arrival, Removal, Other };
    Action Kind = Action::Other;
    QString DeviceNode; // "/dev/ttyUSB0"
    QString UsbDevice;  // system path of the USB device the tty belongs to, or empty
    unsigned Vid = 0;
    unsigned Pid = 0;
};

// A udev monitor of the tty subsystem. Its handle becomes readable when an event is waiting.
class DeviceMonitor {
public:
    DeviceMonitor();
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor &) = delete;
    DeviceMonitor &operator=(const DeviceMonitor &) = delete;

    // -1 when udev is not available (a container without /run/udev): no events then.
    int Handle() const;
    // Takes the next waiting event; false when none is waiting.
    bool Receive(DeviceEvent &event);

private:
    udev *FUdev = nullptr;
    udev_monitor *FMonitor = nullptr;
};

} // namespace platform
