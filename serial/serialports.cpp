#include "serial/serialports.h"

#include "core/log.h"
#include "platform/portnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <charconv>

namespace {

QString FriendlyNameOf(const QString &description, const QString &name) {
    const QString text = description.trimmed();
    return text.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(text, name);
}

// The record of a port, logged the way each entry of the enumeration is.
void Add(TSerialPorts &ports, TSerialPortRec record) {
    GlobalLog().Debug(QStringLiteral("S1: ") + record.FriendlyName);
    if (record.ComNumber < 0)
        return;
    GlobalLog().Debug(QStringLiteral("Add ") + record.Name);
    ports.append(std::move(record));
}

// Hexadecimal text as a number, or 0 when it is not one.
unsigned HexOrZero(const QString &text) {
    bool ok = false;
    const unsigned value = text.toUInt(&ok, 16);
    return ok && !text.isEmpty() && !text.startsWith(QLatin1Char('+')) &&
                   !text.startsWith(QLatin1Char('-')) && text.trimmed() == text
               ? value
               : 0;
}

} // namespace

bool ReadBenchPortInfo(const QString &LinkPath, TBenchPortInfo &Info) {
    QFile file(LinkPath + QStringLiteral(".port"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Info = TBenchPortInfo{};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("name"))
            Info.Name = value;
        else if (key == QLatin1String("kind"))
            Info.Kind = value;
        else if (key == QLatin1String("device"))
            Info.Device = value;
        else if (key == QLatin1String("description"))
            Info.Description = value;
    }
    return true;
}

void TSerialPorts::Enumerate() {
    clear();
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system) {
        TSerialPortRec record;
        record.DevicePath = info.systemLocation();
        record.ComNumber = platform::SerialPortNumber(record.DevicePath);
        record.Name = platform::SerialPortName(record.ComNumber);
        QString description = info.description();
        if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
            description = info.manufacturer() + QLatin1Char(' ') + description;
        record.FriendlyName = FriendlyNameOf(description, record.Name);
        record.IsUSB = info.hasVendorIdentifier();
        record.Vid = info.vendorIdentifier();
        record.Pid = info.productIdentifier();
        Add(*this, std::move(record));
    }
    const QDir bench(platform::BenchFolder());
    const QStringList links =
        bench.entryList({QStringLiteral("ttyBENCH*")}, QDir::System, QDir::Name);
    for (const QString &link : links) {
        const QString path = bench.filePath(link);
        TBenchPortInfo info;
        // A link whose pseudo-terminal is gone is a port being unplugged.
        if (link.contains(QLatin1Char('.')) || !QFileInfo::exists(path) ||
            !ReadBenchPortInfo(path, info))
            continue;
        TSerialPortRec record;
        record.DevicePath = path;
        record.ComNumber = platform::SerialPortNumber(path);
        record.Name = platform::SerialPortName(record.ComNumber);
        record.FriendlyName = FriendlyNameOf(info.Description, record.Name);
        record.IsUSB = info.Kind == QLatin1String("usb");
        Add(*this, std::move(record));
    }
}

int TSerialPorts::IndexOfComNumber(int AComNumber) const {
    for (qsizetype i = 0; i < size(); ++i) {
        if (at(i).ComNumber == AComNumber)
            return static_cast<int>(i);
    }
    return -1;
}

int ComNumberFromFriendlyName(const QString &Text) {
    if (Text.contains(QLatin1String("(LPT")))
        return -1;
    const qsizetype start = Text.indexOf(QLatin1String("(COM"));
    if (start < 0)
        return -1;
    const QString rest = Text.mid(start + 4);
    const qsizetype close = rest.indexOf(QLatin1Char(')'));
    if (close < 0)
        return -1;
    const QByteArray digits = rest.left(close).toLatin1();
    int value = 0;
    const auto [end, error] =
        std::from_chars(digits.constData(), digits.constData() + digits.size(), value);
    if (digits.isEmpty() || error != std::errc() || end != digits.constData() + digits.size())
        return -1;
    return value;
}

void ParseVidPid(const QString &DeviceName, unsigned &Vid, unsigned &Pid) {
    Vid = 0;
    Pid = 0;
    const qsizetype vid = DeviceName.indexOf(QLatin1String("Vid_"));
    if (vid < 0)
        return;
    Vid = HexOrZero(DeviceName.mid(vid + 4, 4));
    const qsizetype pid = DeviceName.indexOf(QLatin1String("Pid_"));
    if (pid >= 0)
        Pid = HexOrZero(DeviceName.mid(pid + 4, 4));
}

int FindPortsByVidPid(unsigned Vid, unsigned Pid, QStringList &List) {
    List.clear();
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system) {
        if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
            info.vendorIdentifier() == Vid && info.productIdentifier() == Pid)
            List.append(
                platform::SerialPortName(platform::SerialPortNumber(info.systemLocation())));
    }
    return static_cast<int>(List.size());
}

QString PortNamesFromDeviceName(const QString &DeviceName) {
    unsigned vid = 0;
    unsigned pid = 0;
    ParseVidPid(DeviceName, vid, pid);
    if (vid == 0 && pid == 0)
        return {};
    QStringList names;
    FindPortsByVidPid(vid, pid, names);
    QString text;
    for (const QString &name : names)
        text += name + QStringLiteral("\r\n");
    return text;
}
