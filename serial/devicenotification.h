#pragma once

#include "platform/devicemonitor.h"

#include <QObject>
#include <QString>
#include <functional>

// Event codes of device changes, with the values the rest of the system compares against.
enum TDeviceEventCode : int {
    DeviceArrival = 0x8000,
    DeviceQueryRemove = 0x8001,
    DeviceRemoveComplete = 0x8004,
};

using TDeviceChangeEvent = std::function<void(int EventCode, const QString &DeviceNode)>;
using TUSBChangeEvent = std::function<void(const QString &Name, int EventType)>;

// Tells its owner about arrivals and removals of serial devices: the removal of one port's
// own device (InstallHandle) and the coming and going of USB ports (InstallUSB). Events reach
// the thread that created the object through its event loop; an object created on a thread
// without one hears nothing.
class TDeviceNotification : public QObject {
    Q_OBJECT
public:
    explicit TDeviceNotification(QObject *parent = nullptr);
    ~TDeviceNotification() override;

    // Reports changes of the device at this path (as the port opened it).
    void InstallHandle(const QString &DevicePath);
    // Reports every USB serial device (and bench port of kind USB) that comes or goes.
    void InstallUSB();
    void Uninstall();

    void SetOnDeviceChange(TDeviceChangeEvent Handler) { FOnDeviceChange = std::move(Handler); }
    // Name: the USB device (its system path; a bench port's link path).
    void SetOnUSBChange(TUSBChangeEvent Handler) { FOnUSBChange = std::move(Handler); }
    // Name: the port names of the device, each followed by CR LF.
    void SetOnPortChange(TUSBChangeEvent Handler) { FOnPortChange = std::move(Handler); }

    // Feeds one event through the handlers, as the system source does.
    void DeviceChanged(const platform::DeviceEvent &Event);

private:
    QString FDevicePath;
    bool FUSBInstalled = false;
    TDeviceChangeEvent FOnDeviceChange;
    TUSBChangeEvent FOnUSBChange;
    TUSBChangeEvent FOnPortChange;
};
