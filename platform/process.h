#pragma once

#include <QString>
#include <cstdint>

namespace platform {

// The OS number of the calling thread, as shown in log lines.
std::int64_t CurrentThreadId();

// Full path of the running executable.
QString ExecutablePath();

// True when a file can be created in the folder.
bool IsFolderWritable(const QString &folder);

// The user's data folder ($XDG_DATA_HOME or ~/.local/share).
QString UserDataFolder();

// The user's configuration folder ($XDG_CONFIG_HOME or ~/.config).
QString UserConfigFolder();

// The user's runtime folder ($XDG_RUNTIME_DIR, or a private folder in /tmp).
QString UserRuntimeFolder();

} // namespace platform
