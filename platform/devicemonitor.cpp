#include "platform/devicemonitor.h"

#include <cstdlib>
#include <cstring>
#include <libudev.h>

namespace platform {

DeviceMonitor::DeviceMonitor() {
    FUdev = udev_new();
    if (FUdev == nullptr)
        return;
    FMonitor = udev_monitor_new_from_netlink(FUdev, "udev");
    if (FMonitor == nullptr)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(FMonitor) < 0) {
        udev_monitor_unref(FMonitor);
        FMonitor = nullptr;
    }
}

DeviceMonitor::~DeviceMonitor() {
    if (FMonitor != nullptr)
        udev_monitor_unref(FMonitor);
    if (FUdev != nullptr)
        udev_unref(FUdev);
}

int DeviceMonitor::Handle() const {
    return FMonitor != nullptr ? udev_monitor_get_fd(FMonitor) : -1;
}

static unsigned HexNumber(const char *text) {
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 16)) : 0;
}

bool DeviceMonitor::Receive(DeviceEvent &event) {
    if (FMonitor == nullptr)
        return false;
    udev_device *device = udev_monitor_receive_device(FMonitor);
    if (device == nullptr)
        return false;
    event = DeviceEvent{};
    const char *action = udev_device_get_action(device);
    if (action != nullptr && std::strcmp(action, "add") == 0)
        event.Kind = DeviceEvent::Action::Arrival;
    else if (action != nullptr && std::strcmp(action, "remove") == 0)
        event.Kind = DeviceEvent::Action::Removal;
    if (const char *node = udev_device_get_devnode(device))
        event.DeviceNode = QString::fromLocal8Bit(node);
    // A removed device has no sysfs left: its identity comes from the event's own properties.
    event.Vid = HexNumber(udev_device_get_property_value(device, "ID_VENDOR_ID"));
    event.Pid = HexNumber(udev_device_get_property_value(device, "ID_MODEL_ID"));
    if (event.Vid != 0 || event.Pid != 0) {
        // The parent is owned by the child device and goes with it.
        udev_device *usb =
            udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
        event.UsbDevice =
            QString::fromLocal8Bit(udev_device_get_syspath(usb != nullptr ? usb : device));
    }
    udev_device_unref(device);
    return true;
}

} // namespace platform
