#include "serial/devicenotification.h"

#include "platform/portnames.h"
#include "serial/serialports.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>

Q_DECLARE_METATYPE(platform::DeviceEvent)

namespace {

// The one source of device events in the process: a udev monitor of the tty subsystem and a
// watcher on the bench's port folder. It lives on the application's thread; notifications on
// other threads receive its signal queued.
class DeviceEventSource : public QObject {
    Q_OBJECT
public:
    DeviceEventSource() {
        if (FMonitor.Handle() >= 0) {
            FNotifier = new QSocketNotifier(FMonitor.Handle(), QSocketNotifier::Read, this);
            connect(FNotifier, &QSocketNotifier::activated, this, &DeviceEventSource::ReadMonitor);
        }
        FBenchFolder = platform::BenchFolder();
        connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this,
                &DeviceEventSource::ScanBench);
        ScanBench();
    }

    static DeviceEventSource *Instance() {
        // Created on first use from the application's thread; other threads only connect to it.
        static std::atomic<DeviceEventSource *> source = nullptr;
        QCoreApplication *application = QCoreApplication::instance();
        if (source.load() == nullptr && application != nullptr &&
            QThread::currentThread() == application->thread()) {
            auto *created = new DeviceEventSource;
            created->setParent(application);
            source.store(created);
        }
        return source.load();
    }

Q_SIGNALS:
    void Changed(const platform::DeviceEvent &event);

private:
    void ReadMonitor() {
        platform::DeviceEvent event;
        while (FMonitor.Receive(event)) {
            if (event.Kind != platform::DeviceEvent::Action::Other && !event.DeviceNode.isEmpty())
                Q_EMIT Changed(event);
        }
    }

    // Compares the bench's links with the last look and reports the difference.
    void ScanBench() {
        const QDir folder(FBenchFolder);
        // The folder may appear after us: watch its parent until it does.
        if (!FWatcher.directories().contains(FBenchFolder)) {
            if (folder.exists())
                FWatcher.addPath(FBenchFolder);
            else if (QDir().mkpath(QFileInfo(FBenchFolder).absolutePath()))
                FWatcher.addPath(QFileInfo(FBenchFolder).absolutePath());
        }
        QHash<QString, bool> now;
        const QStringList links =
            folder.entryList({QStringLiteral("ttyBENCH*")}, QDir::Files | QDir::System);
        for (const QString &link : links) {
            if (link.contains(QLatin1Char('.')))
                continue;
            const QString path = folder.filePath(link);
            TBenchPortInfo info;
            now.insert(path, ReadBenchPortInfo(path, info) && info.Kind == QLatin1String("usb"));
        }
        for (auto it = FBenchPorts.cbegin(); it != FBenchPorts.cend(); ++it) {
            if (!now.contains(it.key()))
                EmitBench(platform::DeviceEvent::Action::Removal, it.key(), it.value());
        }
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (!FBenchPorts.contains(it.key()))
                EmitBench(platform::DeviceEvent::Action::Arrival, it.key(), it.value());
        }
        FBenchPorts = now;
    }

    void EmitBench(platform::DeviceEvent::Action action, const QString &path, bool usb) {
        platform::DeviceEvent event;
        event.Kind = action;
        event.DeviceNode = path;
        if (usb)
            event.UsbDevice = path;
        Q_EMIT Changed(event);
    }

    platform::DeviceMonitor FMonitor;
    QSocketNotifier *FNotifier = nullptr;
    QFileSystemWatcher FWatcher;
    QString FBenchFolder;
    QHash<QString, bool> FBenchPorts; // link path -> USB kind
};

} // namespace

TDeviceNotification::TDeviceNotification(QObject *parent)
    : QObject(parent) {
    if (QAbstractEventDispatcher::instance() == nullptr)
        return;
    if (DeviceEventSource *source = DeviceEventSource::Instance())
        connect(source, &DeviceEventSource::Changed, this, &TDeviceNotification::DeviceChanged);
}

TDeviceNotification::~TDeviceNotification() {
    Uninstall();
}

void TDeviceNotification::InstallHandle(const QString &DevicePath) {
    FDevicePath = DevicePath;
}

void TDeviceNotification::InstallUSB() {
    FUSBInstalled = true;
}

void TDeviceNotification::Uninstall() {
    FDevicePath.clear();
    FUSBInstalled = false;
}

void TDeviceNotification::DeviceChanged(const platform::DeviceEvent &Event) {
    const int code =
        Event.Kind == platform::DeviceEvent::Action::Arrival ? DeviceArrival : DeviceRemoveComplete;
    if (Event.Kind == platform::DeviceEvent::Action::Other)
        return;
    if (!FDevicePath.isEmpty() && FOnDeviceChange &&
        QFileInfo(Event.DeviceNode).absoluteFilePath() == QFileInfo(FDevicePath).absoluteFilePath())
        FOnDeviceChange(code, Event.DeviceNode);
    if (!FUSBInstalled || Event.UsbDevice.isEmpty())
        return;
    if (FOnUSBChange)
        FOnUSBChange(Event.UsbDevice, code);
    if (FOnPortChange) {
        const int number = platform::SerialPortNumber(Event.DeviceNode);
        FOnPortChange(platform::SerialPortName(number) + QStringLiteral("\r\n"), code);
    }
}

#include "devicenotification.moc"
