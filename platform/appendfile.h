#pragma once

#include <QString>
#include <string_view>

namespace platform {

// A file opened for reading and writing, created when missing, written at its end.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    bool Open(const QString &path);
    bool IsOpen() const { return FHandle >= 0; }
    // One write call; a short or failed write is not reported.
    void Write(std::string_view bytes);
    void Close();

private:
    int FHandle = -1;
};

} // namespace platform
