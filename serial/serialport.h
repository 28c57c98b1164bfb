#pragma once

#include "core/log.h"
#include "platform/serialdevice.h"
#include "serial/devicenotification.h"
#include "serial/serialexceptions.h"

#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// Time-outs of a port in milliseconds, laid out as the serial time-out record of the system the
// port logic was first written for.
struct TCommTimeouts {
    std::uint32_t ReadIntervalTimeout = 1000;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 10000;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 1000;

    bool operator==(const TCommTimeouts &) const = default;
};

// One serial port used as a blocking byte pipe: opens itself on first use, enforces whole-read
// deadlines, can be cancelled from any thread and closes itself when its device goes away.
//
// Time-outs: one OS wait never lasts longer than about a second (the read total constant is
// capped at 1000 ms for the OS), while Read keeps its own deadline of
// Count * ReadTotalTimeoutMultiplier + ReadTotalTimeoutConstant on the steady clock and tests it
// after every OS read, so a cancel or a deadline is noticed within about one second. An OS read
// returns as soon as any byte is in, so ReadIntervalTimeout adds nothing to that.
//
// Input: every OS read takes all the bytes that are waiting into the port's own buffer, and the
// reads here are served from it, so that a protocol reading a byte at a time costs one poll and
// one read per burst of the line, not per byte. Purge and Close drop what is buffered.
class TSerialPort {
public:
    TSerialPort();
    ~TSerialPort();
    TSerialPort(const TSerialPort &) = delete;
    TSerialPort &operator=(const TSerialPort &) = delete;

    void Open();
    void Close();
    // Exactly Count bytes, or ESerialPortException "нет связи" after the deadline.
    std::string Read(unsigned Count);
    std::uint8_t ReadByte();
    // One byte, buffered or from one OS wait with the port's OS time-outs: no lock, no open, no
    // deadline, no cancel check. False on time-out.
    bool ReadChar(std::uint8_t &C);
    void Write(std::string_view Data);
    void Purge();
    void Flush();

    void SetTimeout(std::uint32_t Value);
    void SetTimeouts(std::uint32_t ReadIntervalTimeout, std::uint32_t ReadTotalTimeoutMultiplier,
                     std::uint32_t ReadTotalTimeoutConstant,
                     std::uint32_t WriteTotalTimeoutMultiplier,
                     std::uint32_t WriteTotalTimeoutConstant);
    TCommTimeouts GetTimeouts() const;

    std::uint32_t GetBaudRate() const;
    void SetBaudRate(std::uint32_t Value);
    QString GetPortName() const;
    void SetPortName(const QString &Value);
    // The port of this number (see platform/portnames.h), shown by its device's own name.
    void SetPortNumber(int Value);
    bool GetDTRState() const;
    void SetDTRState(bool Value);
    bool GetRTSState() const;
    void SetRTSState(bool Value);
    bool GetOpened() const;
    bool GetTryOpenIfError() const { return FTryOpenIfError; }
    // When set, a port that cannot be opened stays closed without an error after 100 ms.
    void SetTryOpenIfError(bool Value) { FTryOpenIfError = Value; }
    // The pause after closing, which lets a USB adapter settle before the next open; 1000 ms.
    void SetClosePause(std::chrono::milliseconds Value) { FClosePause = Value; }

    void Cancel();
    void Reset();
    void CheckCancelled() const;
    void Lock();
    void Unlock();

    TDeviceNotification &Notification() { return FNotification; }

private:
    void Check(int Error) const;
    void ApplyLineFormat();
    // The OS's share of the read time-outs for a read of count bytes.
    std::chrono::milliseconds OsReadTimeout(unsigned Count) const;
    // A transfer error: a vanished device closes the port and says so; others raise the OS text.
    void TransferFailed(int Error);
    void DeviceChanged(int EventCode);
    // Waits up to Wait for input when none is buffered and buffers all that is waiting. Callers
    // are Read (under FLock) and ReadChar (without it).
    void FillInput(std::chrono::milliseconds Wait);
    // Moves up to Count buffered bytes to Buffer; returns how many.
    std::size_t TakeInput(char *Buffer, std::size_t Count);
    void DropInput();

    platform::SerialDevice FHandle;
    std::uint32_t FBaudRate = 57600;
    bool FRTSState = false;
    bool FDTRState = false;
    QString FPortName = QStringLiteral("COM1");
    std::atomic<bool> FCancelled = false;
    TCommTimeouts FTimeOuts;
    mutable std::recursive_mutex FLock;
    TLogger FLogger{QStringLiteral("TSerialPort")};
    TDeviceNotification FNotification;
    bool FTryOpenIfError = false;
    std::chrono::milliseconds FClosePause{1000};

    static constexpr std::size_t InputCapacity = 4096;
    // Guards the input buffer alone and is never held across an OS wait, so that a Close from
    // the removal notice or a Purge never waits for a read. FInputEpoch counts the drops: bytes
    // a read took from the OS before a drop are dropped with the rest.
    std::mutex FInputLock;
    std::string FInput;
    std::size_t FInputBegin = 0; // FInput before it has been taken
    std::uint64_t FInputEpoch = 0;
};
