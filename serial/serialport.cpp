#include "serial/serialport.h"

#include "platform/portnames.h"

#include <algorithm>
#include <cerrno>
#include <thread>

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr milliseconds OsReadCap{1000};
constexpr milliseconds FailedOpenPause{100};

} // namespace

TSerialPort::TSerialPort() {
    FNotification.SetOnDeviceChange(
        [this](int EventCode, const QString &) { DeviceChanged(EventCode); });
}

TSerialPort::~TSerialPort() {
    Close();
}

void TSerialPort::Check(int Error) const {
    if (Error != 0)
        throw Exception(platform::ErrorText(Error));
}

void TSerialPort::Open() {
    CheckCancelled();
    const std::lock_guard guard(FLock);
    if (FHandle.IsOpen())
        return;
    FLogger.Debug(QStringLiteral("Open"));
    const QString path = platform::SerialPortPath(FPortName);
    const int error = FHandle.Open(path);
    if (error != 0) {
        FLogger.Debug(QStringLiteral("Open %1: %2").arg(path, platform::ErrorText(error)));
        if (FTryOpenIfError) {
            std::this_thread::sleep_for(FailedOpenPause);
            return;
        }
        throw ESerialPortDenied(QStringLiteral("Невозможно открыть порт \"%1\"").arg(FPortName));
    }
    try {
        ApplyLineFormat();
    } catch (...) {
        FHandle.Close();
        throw;
    }
    FNotification.InstallHandle(path);
}

void TSerialPort::ApplyLineFormat() {
    if (FHandle.IsOpen())
        Check(FHandle.ApplyLineFormat(FBaudRate, FDTRState, FRTSState));
}

void TSerialPort::Close() {
    const std::lock_guard guard(FLock);
    if (FHandle.IsOpen()) {
        FLogger.Debug(QStringLiteral("Close"));
        FNotification.Uninstall();
        FHandle.Close();
        DropInput();
        std::this_thread::sleep_for(FClosePause);
    }
    FCancelled = false;
}

milliseconds TSerialPort::OsReadTimeout(unsigned Count) const {
    const milliseconds constant{
        std::min<std::uint32_t>(FTimeOuts.ReadTotalTimeoutConstant, OsReadCap.count())};
    const milliseconds total =
        milliseconds{std::int64_t{Count} * FTimeOuts.ReadTotalTimeoutMultiplier} + constant;
    // All-zero time-outs would block for good; one capped wait keeps cancel working.
    return total.count() > 0 ? total : OsReadCap;
}

void TSerialPort::TransferFailed(int Error) {
    if (Error == EIO || Error == ENXIO || Error == ENODEV) {
        FLogger.Debug(QStringLiteral("Device gone: ") + platform::ErrorText(Error));
        Close();
        throw ESerialPortException(QStringLiteral("Порт \"%1\" отключен").arg(FPortName));
    }
    Check(Error);
}

void TSerialPort::FillInput(milliseconds Wait) {
    std::uint64_t epoch = 0;
    {
        const std::lock_guard guard(FInputLock);
        if (FInputBegin < FInput.size())
            return;
        epoch = FInputEpoch;
    }
    std::array<char, InputCapacity> chunk;
    const platform::TransferResult got = FHandle.ReadAvailable(chunk.data(), chunk.size(), Wait);
    if (got.Error != 0)
        TransferFailed(got.Error);
    const std::lock_guard guard(FInputLock);
    // Purged or closed during the wait: what came from the old queue is gone with it.
    if (epoch != FInputEpoch)
        return;
    FInput.erase(0, FInputBegin);
    FInputBegin = 0;
    FInput.append(chunk.data(), got.Count);
}

std::size_t TSerialPort::TakeInput(char *Buffer, std::size_t Count) {
    const std::lock_guard guard(FInputLock);
    const std::size_t taken = std::min(Count, FInput.size() - FInputBegin);
    std::copy_n(FInput.data() + FInputBegin, taken, Buffer);
    FInputBegin += taken;
    if (FInputBegin == FInput.size()) {
        FInput.clear();
        FInputBegin = 0;
    }
    return taken;
}

void TSerialPort::DropInput() {
    const std::lock_guard guard(FInputLock);
    FInput.clear();
    FInputBegin = 0;
    ++FInputEpoch;
}

std::string TSerialPort::Read(unsigned Count) {
    std::string result;
    if (Count == 0)
        return result;
    CheckCancelled();
    const std::lock_guard guard(FLock);
    if (!FHandle.IsOpen())
        Open();
    const milliseconds deadline{static_cast<std::int32_t>(
        Count * FTimeOuts.ReadTotalTimeoutMultiplier + FTimeOuts.ReadTotalTimeoutConstant)};
    // The deadline runs from the first wait for the line: bytes already buffered take no time
    // worth a clock reading, which a protocol reading a byte at a time would pay per byte. A
    // zero deadline is missed by any read, as it always was.
    bool timing = deadline.count() <= 0;
    SteadyClock::time_point start = timing ? SteadyClock::now() : SteadyClock::time_point{};
    result.resize(Count);
    std::size_t done = 0;
    while (done < Count) {
        CheckCancelled();
        const unsigned remaining = Count - static_cast<unsigned>(done);
        std::size_t got = TakeInput(result.data() + done, remaining);
        if (got == 0) {
            if (!timing) {
                start = SteadyClock::now();
                timing = true;
            }
            FillInput(OsReadTimeout(remaining));
            got = TakeInput(result.data() + done, remaining);
        }
        done += got;
        CheckCancelled();
        if (timing && SteadyClock::now() - start > deadline)
            throw ESerialPortException(QStringLiteral("нет связи"));
    }
    return result;
}

std::uint8_t TSerialPort::ReadByte() {
    return static_cast<std::uint8_t>(Read(1)[0]);
}

bool TSerialPort::ReadChar(std::uint8_t &C) {
    FillInput(OsReadTimeout(1));
    char byte = 0;
    if (TakeInput(&byte, 1) != 1)
        return false;
    C = static_cast<std::uint8_t>(byte);
    return true;
}

void TSerialPort::Write(std::string_view Data) {
    if (Data.empty())
        return;
    CheckCancelled();
    const std::lock_guard guard(FLock);
    Open();
    const milliseconds total{std::int64_t{FTimeOuts.WriteTotalTimeoutMultiplier} * Data.size() +
                             FTimeOuts.WriteTotalTimeoutConstant};
    const platform::TransferResult put = FHandle.Write(Data, total);
    if (put.Error != 0)
        TransferFailed(put.Error);
    if (put.Count < Data.size())
        throw ESerialPortException(QStringLiteral("нет связи"));
}

void TSerialPort::Purge() {
    const std::lock_guard guard(FLock);
    Open();
    DropInput();
    Check(FHandle.Purge());
}

void TSerialPort::Flush() {
    Open();
    Check(FHandle.Drain());
}

void TSerialPort::SetTimeout(std::uint32_t Value) {
    SetTimeouts(Value, 0, Value, 0, Value);
}

void TSerialPort::SetTimeouts(std::uint32_t ReadIntervalTimeout,
                              std::uint32_t ReadTotalTimeoutMultiplier,
                              std::uint32_t ReadTotalTimeoutConstant,
                              std::uint32_t WriteTotalTimeoutMultiplier,
                              std::uint32_t WriteTotalTimeoutConstant) {
    const TCommTimeouts value{ReadIntervalTimeout, ReadTotalTimeoutMultiplier,
                              ReadTotalTimeoutConstant, WriteTotalTimeoutMultiplier,
                              WriteTotalTimeoutConstant};
    // The OS side takes its (capped) share of these at each transfer, so storing is applying.
    const std::lock_guard guard(FLock);
    FTimeOuts = value;
}

TCommTimeouts TSerialPort::GetTimeouts() const {
    const std::lock_guard guard(FLock);
    return FTimeOuts;
}

std::uint32_t TSerialPort::GetBaudRate() const {
    return FBaudRate;
}

void TSerialPort::SetBaudRate(std::uint32_t Value) {
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineFormat();
}

QString TSerialPort::GetPortName() const {
    const std::lock_guard guard(FLock);
    return FPortName;
}

void TSerialPort::SetPortName(const QString &Value) {
    const std::lock_guard guard(FLock);
    if (Value == FPortName)
        return;
    Close();
    FPortName = Value;
}

void TSerialPort::SetPortNumber(int Value) {
    SetPortName(platform::SerialPortName(Value));
}

bool TSerialPort::GetDTRState() const {
    return FDTRState;
}

void TSerialPort::SetDTRState(bool Value) {
    Open();
    Check(FHandle.SetDTR(Value));
    FDTRState = Value;
}

bool TSerialPort::GetRTSState() const {
    return FRTSState;
}

void TSerialPort::SetRTSState(bool Value) {
    Open();
    Check(FHandle.SetRTS(Value));
    FRTSState = Value;
}

bool TSerialPort::GetOpened() const {
    const std::lock_guard guard(FLock);
    return FHandle.IsOpen();
}

void TSerialPort::Cancel() {
    FCancelled = true;
}

void TSerialPort::Reset() {
    FCancelled = false;
}

void TSerialPort::CheckCancelled() const {
    if (FCancelled)
        throw EAbort(QStringLiteral("Операция отменена"));
}

void TSerialPort::Lock() {
    FLock.lock();
}

void TSerialPort::Unlock() {
    FLock.unlock();
}

void TSerialPort::DeviceChanged(int EventCode) {
    FLogger.Debug(QStringLiteral("DeviceChanged: %1").arg(EventCode));
    if (EventCode != DeviceRemoveComplete)
        return;
    FLogger.Debug(QStringLiteral("Device closed by deviceremovecomplete"));
    Close();
}
