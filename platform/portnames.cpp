#include "platform/portnames.h"

#include "platform/process.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <mutex>

namespace platform {

namespace {

struct Family {
    const char *Prefix;
    int First;
};

constexpr Family families[] = {
    {"ttyS", 1},
    {"ttyUSB", 101},
    {"ttyACM", 201},
    {"ttyBENCH", FirstBenchPortNumber},
};
constexpr int FirstOtherNumber = 1001;

// Nodes outside the known families, numbered in the order they are first seen.
struct OtherNodes {
    std::mutex Lock;
    QHash<QString, int> Numbers;
    QHash<int, QString> Names;
};

OtherNodes &Others() {
    static OtherNodes others;
    return others;
}

// Each family owns the numbers up to the next family's first.
int FamilyEnd(size_t index) {
    return index + 1 < std::size(families) ? families[index + 1].First : FirstOtherNumber;
}

} // namespace

int SerialPortNumber(const QString &node) {
    const QString name = QFileInfo(node).fileName();
    if (name.isEmpty())
        return -1;
    static const QRegularExpression pattern(QStringLiteral("^(tty[A-Z]+)(\\d{1,3})$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (match.hasMatch()) {
        for (size_t i = 0; i < std::size(families); ++i) {
            const int number = families[i].First + match.captured(2).toInt();
            if (match.captured(1) == QLatin1String(families[i].Prefix) && number < FamilyEnd(i))
                return number;
        }
    }
    OtherNodes &others = Others();
    const std::lock_guard guard(others.Lock);
    auto found = others.Numbers.constFind(name);
    if (found != others.Numbers.constEnd())
        return found.value();
    const int number = FirstOtherNumber + static_cast<int>(others.Numbers.size());
    others.Numbers.insert(name, number);
    others.Names.insert(number, name);
    return number;
}

QString SerialPortName(int number) {
    for (size_t i = 0; i < std::size(families); ++i) {
        const int first = families[i].First;
        if (number >= first && number < FamilyEnd(i))
            return QLatin1String(families[i].Prefix) + QString::number(number - first);
    }
    OtherNodes &others = Others();
    const std::lock_guard guard(others.Lock);
    return others.Names.value(number, QStringLiteral("COM%1").arg(number));
}

QString SerialPortPath(const QString &name) {
    if (QFileInfo(name).isAbsolute())
        return name;
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"));
    const QRegularExpressionMatch match = com.match(name);
    const QString node = match.hasMatch() ? SerialPortName(match.captured(1).toInt()) : name;
    if (node.startsWith(QLatin1String("ttyBENCH")))
        return QDir(BenchFolder()).filePath(node);
    return QStringLiteral("/dev/") + node;
}

QString BenchFolder() {
    const QString value = qEnvironmentVariable("KALIBRA_BENCH_DIR");
    if (!value.isEmpty())
        return QDir(value).absolutePath();
    return QDir(UserRuntimeFolder()).filePath(QStringLiteral("kalibra-bench"));
}

QString BenchPortName(int index) {
    return QStringLiteral("ttyBENCH%1").arg(index);
}

} // namespace platform
