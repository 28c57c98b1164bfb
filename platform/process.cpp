#include "platform/process.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <unistd.h>

namespace platform {

std::int64_t CurrentThreadId() {
    return static_cast<std::int64_t>(gettid());
}

QString ExecutablePath() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer)
        return {};
    return QString::fromLocal8Bit(buffer, length);
}

bool IsFolderWritable(const QString &folder) {
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

static QString EnvFolder(const char *variable, const QString &fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QFileInfo(value).isAbsolute())
        return value;
    return QDir::home().filePath(fallbackBelowHome);
}

QString UserDataFolder() {
    return EnvFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString UserConfigFolder() {
    return EnvFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString UserRuntimeFolder() {
    const QString value = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!value.isEmpty() && QFileInfo(value).isDir())
        return value;
    const QString fallback = QStringLiteral("/tmp/kalibra-%1").arg(getuid());
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return fallback;
}

} // namespace platform
