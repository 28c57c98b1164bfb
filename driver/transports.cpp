#include "driver/transports.h"

#include <algorithm>

TTcpTransport::TTcpTransport(std::string host, int port, std::chrono::milliseconds connectTimeout)
    : FHost(std::move(host))
    , FPort(port)
    , FConnectTimeout(connectTimeout) {}

bool TTcpTransport::Open() {
    return FSocket.Connect(FHost, FPort, FConnectTimeout);
}

namespace {
// Long enough for a USB adapter to let go of its node before the next open, short enough for
// the search's ten attempts per port.
constexpr std::chrono::milliseconds SerialClosePause{50};
} // namespace

TSerialTransport::TSerialTransport(int portNumber)
    : FPortNumber(portNumber) {
    FPort.SetClosePause(SerialClosePause);
}

bool TSerialTransport::Open() {
    try {
        FPort.SetPortNumber(FPortNumber);
        FPort.Open();
        return FPort.GetOpened();
    } catch (const std::exception &) {
        return false;
    }
}

void TSerialTransport::Close() {
    FPort.Close();
}

bool TSerialTransport::Write(std::string_view bytes) {
    try {
        FPort.Write(bytes);
        return true;
    } catch (const std::exception &) {
        FPort.Close();
        return false;
    }
}

std::string TSerialTransport::Read(size_t maxBytes, std::chrono::milliseconds timeout) {
    // One byte at a time with the port's OS waits (capped at a second), up to the deadline.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string bytes;
    try {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const auto wait = static_cast<std::uint32_t>(std::max<long long>(1, left.count()));
            FPort.SetTimeouts(0, 0, bytes.empty() ? wait : 1, 0, 1000);
            std::uint8_t byte = 0;
            if (FPort.ReadChar(byte)) {
                bytes += static_cast<char>(byte);
                if (bytes.size() < maxBytes)
                    continue;
            }
            if (!bytes.empty() || left.count() <= 0 || !FPort.GetOpened())
                return bytes;
        }
    } catch (const std::exception &) {
        FPort.Close();
        return bytes;
    }
}

void TSerialTransport::Purge() {
    // Only what has come in: flushing the output as well could drop an ACK not yet on the line.
    while (!Read(256, std::chrono::milliseconds(0)).empty()) {
    }
}

bool TSerialTransport::SetBaudRate(int rate) {
    try {
        FPort.SetBaudRate(static_cast<std::uint32_t>(rate));
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
