#include "platform/serialdevice.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

static bool SpeedOf(unsigned baudRate, speed_t &speed) {
    struct Rate {
        unsigned Value;
        speed_t Speed;
    };
    static constexpr Rate rates[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {500000, B500000}, {576000, B576000},
        {921600, B921600},
    };
    for (const Rate &rate : rates) {
        if (rate.Value == baudRate) {
            speed = rate.Speed;
            return true;
        }
    }
    return false;
}

// Waits for the events on the handle; returns the revents, 0 on time-out, -1 with errno set.
static int WaitFor(int handle, short events, milliseconds timeout) {
    pollfd entry{handle, events, 0};
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now());
        const int result =
            poll(&entry, 1, static_cast<int>(std::max<milliseconds::rep>(0, left.count())));
        if (result > 0)
            return entry.revents;
        if (result == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

SerialDevice::~SerialDevice() {
    Close();
}

int SerialDevice::Open(const QString &path) {
    Close();
    const QByteArray name = QFile::encodeName(path);
    const int handle = open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return errno;
    if (!isatty(handle)) {
        ::close(handle);
        return ENOTTY;
    }
    if (ioctl(handle, TIOCEXCL) != 0 || flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(handle);
        return error;
    }
    FHandle = handle;
    return 0;
}

void SerialDevice::Close() {
    const int handle = FHandle.exchange(-1);
    if (handle < 0)
        return;
    // The exclusive flag outlives our handle while anyone else keeps the tty open.
    ioctl(handle, TIOCNXCL);
    ::close(handle);
}

int SerialDevice::ApplyLineFormat(unsigned baudRate, bool dtr, bool rts) {
    if (FHandle < 0)
        return EBADF;
    speed_t speed = B0;
    if (!SpeedOf(baudRate, speed))
        return EINVAL;
    termios settings{};
    if (tcgetattr(FHandle, &settings) != 0)
        return errno;
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0)
        return errno;
    if (tcsetattr(FHandle, TCSANOW, &settings) != 0)
        return errno;
    for (const auto &[line, value] : {std::pair{TIOCM_DTR, dtr}, std::pair{TIOCM_RTS, rts}}) {
        const int error = SetModemLine(line, value);
        if (error != 0 && error != ENOTTY && error != EINVAL)
            return error;
    }
    return 0;
}

int SerialDevice::SetModemLine(int line, bool value) {
    if (FHandle < 0)
        return EBADF;
    return ioctl(FHandle, value ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : errno;
}

int SerialDevice::SetDTR(bool value) {
    return SetModemLine(TIOCM_DTR, value);
}

int SerialDevice::SetRTS(bool value) {
    return SetModemLine(TIOCM_RTS, value);
}

TransferResult SerialDevice::ReadAvailable(char *buffer, std::size_t capacity, milliseconds total) {
    TransferResult result;
    const int handle = FHandle;
    if (handle < 0) {
        result.Error = EBADF;
        return result;
    }
    const auto deadline = SteadyClock::now() + total;
    for (;;) {
        // Rounded up: a wait truncated to 0 ms would turn the last millisecond into a spin.
        const auto wait = std::chrono::ceil<milliseconds>(deadline - SteadyClock::now());
        if (wait.count() < 0)
            return result;
        const int events = WaitFor(handle, POLLIN, wait);
        if (events < 0) {
            result.Error = errno;
            return result;
        }
        if (events == 0) {
            if (SteadyClock::now() >= deadline)
                return result;
            continue;
        }
        const ssize_t got = ::read(handle, buffer, capacity);
        if (got > 0) {
            result.Count = static_cast<std::size_t>(got);
            return result;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // A hang-up with nothing to read: the device behind the node has gone.
        result.Error = got == 0 ? EIO : errno;
        return result;
    }
}

TransferResult SerialDevice::Write(std::string_view bytes, milliseconds total) {
    TransferResult result;
    const int handle = FHandle;
    if (handle < 0) {
        result.Error = EBADF;
        return result;
    }
    const auto deadline = SteadyClock::now() + total;
    while (result.Count < bytes.size()) {
        const ssize_t put =
            ::write(handle, bytes.data() + result.Count, bytes.size() - result.Count);
        if (put > 0) {
            result.Count += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            result.Error = errno;
            break;
        }
        milliseconds wait{1000};
        if (total.count() > 0) {
            wait = std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now());
            if (wait.count() <= 0)
                break;
        }
        const int events = WaitFor(handle, POLLOUT, wait);
        if (events < 0) {
            result.Error = errno;
            break;
        }
        if ((events & (POLLHUP | POLLERR)) != 0) {
            result.Error = EIO;
            break;
        }
    }
    return result;
}

int SerialDevice::Purge() {
    if (FHandle < 0)
        return EBADF;
    return tcflush(FHandle, TCIOFLUSH) == 0 ? 0 : errno;
}

int SerialDevice::Drain() {
    if (FHandle < 0)
        return EBADF;
    return tcdrain(FHandle) == 0 ? 0 : errno;
}

} // namespace platform
