#include "platform/appendfile.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

AppendFile::~AppendFile() {
    Close();
}

bool AppendFile::Open(const QString &path) {
    Close();
    FHandle = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return FHandle >= 0;
}

void AppendFile::Write(std::string_view bytes) {
    if (FHandle < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(FHandle, bytes.data(), bytes.size());
}

void AppendFile::Close() {
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
}

} // namespace platform
