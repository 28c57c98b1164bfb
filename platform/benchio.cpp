#include "platform/benchio.h"

#include <QFile>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

static void SetNonBlocking(int handle) {
    fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) | O_NONBLOCK);
    fcntl(handle, F_SETFD, FD_CLOEXEC);
}

PtyMaster::~PtyMaster() {
    Close();
}

int PtyMaster::Open() {
    Close();
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    if (openpty(&FMaster, &FHost, name, &raw, nullptr) != 0)
        return errno;
    SetNonBlocking(FMaster);
    SetNonBlocking(FHost);
    FHostPath = QString::fromLocal8Bit(name);
    return 0;
}

void PtyMaster::Close() {
    CloseHandle(FHost);
    CloseHandle(FMaster);
    FHost = FMaster = -1;
    FHostPath.clear();
}

unsigned PtyMaster::BaudRate() const {
    termios settings{};
    if (FMaster < 0 || tcgetattr(FMaster, &settings) != 0)
        return 0;
    struct Rate {
        speed_t Speed;
        unsigned Value;
    };
    static constexpr Rate rates[] = {
        {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B500000, 500000}, {B576000, 576000},
        {B921600, 921600},
    };
    const speed_t speed = cfgetospeed(&settings);
    for (const Rate &rate : rates) {
        if (rate.Speed == speed)
            return rate.Value;
    }
    return 0;
}

TransferResult ReadSome(int handle, char *buffer, std::size_t size) {
    TransferResult result;
    const ssize_t got = ::read(handle, buffer, size);
    if (got > 0)
        result.Count = static_cast<std::size_t>(got);
    else
        result.Error = got == 0 ? EPIPE : errno;
    return result;
}

TransferResult WriteSome(int handle, std::string_view bytes) {
    TransferResult result;
    const ssize_t put = ::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (put >= 0) {
        result.Count = static_cast<std::size_t>(put);
        return result;
    }
    if (errno != ENOTSOCK) {
        result.Error = errno;
        return result;
    }
    const ssize_t written = ::write(handle, bytes.data(), bytes.size());
    if (written >= 0)
        result.Count = static_cast<std::size_t>(written);
    else
        result.Error = errno;
    return result;
}

void CloseHandle(int handle) {
    if (handle >= 0)
        ::close(handle);
}

int ListenTcp(std::uint16_t port, int &handle) {
    handle = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return errno;
    const int yes = 1;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(handle, 4) != 0) {
        const int error = errno;
        CloseHandle(handle);
        handle = -1;
        return error;
    }
    return 0;
}

std::uint16_t BoundPort(int handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(handle, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

static bool LocalAddress(const QString &path, sockaddr_un &address) {
    const QByteArray name = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

int ListenLocal(const QString &path, int &handle) {
    handle = -1;
    sockaddr_un address{};
    if (!LocalAddress(path, address))
        return ENAMETOOLONG;
    RemoveFile(path);
    handle = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return errno;
    if (bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(handle, 4) != 0) {
        const int error = errno;
        CloseHandle(handle);
        handle = -1;
        return error;
    }
    return 0;
}

int Accept(int listener) {
    return accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

int ConnectLocal(const QString &path) {
    sockaddr_un address{};
    if (!LocalAddress(path, address))
        return -1;
    const int handle = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return -1;
    if (connect(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        CloseHandle(handle);
        return -1;
    }
    return handle;
}

WakeEvent::WakeEvent()
    : FHandle(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    CloseHandle(FHandle);
}

void WakeEvent::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = ::write(FHandle, &one, sizeof one);
}

void WakeEvent::Clear() {
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t got = ::read(FHandle, &value, sizeof value);
}

int Poll(std::vector<PollEntry> &entries, std::chrono::nanoseconds timeout) {
    std::vector<pollfd> handles;
    handles.reserve(entries.size());
    for (const PollEntry &entry : entries)
        handles.push_back(
            {entry.Handle, static_cast<short>(POLLIN | (entry.WantWrite ? POLLOUT : 0)), 0});
    const std::chrono::nanoseconds wait = std::max(timeout, std::chrono::nanoseconds{0});
    const std::chrono::seconds whole = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((wait - whole).count())};
    const int result = ppoll(handles.data(), handles.size(), &limit, nullptr);
    if (result < 0)
        return errno == EINTR ? 0 : errno;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].Readable = (handles[i].revents & (POLLIN | POLLHUP)) != 0;
        entries[i].Writable = (handles[i].revents & POLLOUT) != 0;
        entries[i].HungUp = (handles[i].revents & (POLLHUP | POLLERR)) != 0;
    }
    return 0;
}

void UsePreciseTimers() {
    // One microsecond; 0 would mean the default again.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
}

static sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

void BlockTerminationSignals() {
    const sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool WaitForTerminationSignal(std::chrono::milliseconds timeout) {
    const sigset_t signals = TerminationSignals();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait{static_cast<time_t>(seconds.count()),
                        static_cast<long>((timeout - seconds).count() * 1000000)};
    return sigtimedwait(&signals, nullptr, &wait) > 0;
}

int MakeSymlink(const QString &target, const QString &link) {
    RemoveFile(link);
    return symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0
               ? 0
               : errno;
}

int RemoveFile(const QString &path) {
    if (unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return 0;
    return errno;
}

} // namespace platform
