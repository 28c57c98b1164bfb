#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The system's text for an errno value.
QString ErrorText(int error);

// Outcome of one OS transfer: the bytes moved, and the errno of a failure (0 when none).
// A hang-up (the device vanished) is reported as EIO.
struct TransferResult {
    std::size_t Count = 0;
    int Error = 0;
};

// One open serial device node on termios: exclusive, raw 8N1, no flow control, non-blocking
// with poll() for time-outs. Every call returns an errno value (0 on success).
class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Opens the node for reading and writing; fails with EBUSY when another program or
    // another SerialDevice holds it (TIOCEXCL does not stop root, so an flock backs it up).
    int Open(const QString &path);
    void Close();
    bool IsOpen() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }

    // 8N1, raw, no flow control, CLOCAL at the given rate. DTR and RTS are set as asked where
    // the device has modem lines; a device without them (a pseudo-terminal) keeps its lines.
    int ApplyLineFormat(unsigned baudRate, bool dtr, bool rts);
    // Raises or lowers a modem line; ENOTTY on a device without modem lines.
    int SetDTR(bool value);
    int SetRTS(bool value);

    // Waits up to total for input, then takes with one OS read whatever is waiting, up to
    // capacity bytes. A count of 0 without error means the time-out expired.
    TransferResult ReadAvailable(char *buffer, std::size_t capacity,
                                 std::chrono::milliseconds total);
    // Writes the bytes, waiting at most total for room in the output queue (zero: no limit).
    TransferResult Write(std::string_view bytes, std::chrono::milliseconds total);
    // Discards both queues.
    int Purge();
    // Waits until the output queue has gone out on the line.
    int Drain();

private:
    int SetModemLine(int line, bool value);

    // Atomic: a removal notice may close the device while another thread reads it.
    std::atomic<int> FHandle = -1;
};

} // namespace platform
