#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

// A string that one thread writes and another reads; every access takes the lock.
class TThreadString {
public:
    QString Value() const;
    void SetValue(const QString &AValue);

private:
    mutable std::mutex FLock;
    QString FValue;
};

// Progress and outcome of one run of a work item, written by the work thread and polled by the
// UI thread. Numbers and flags are atomics, so each read and write is indivisible; the strings are
// behind locks. A reader that sees the end (Completed or not IsRunning) reads again afterwards to
// get the final values, because Stop writes its fields one after the other.
class TTaskState {
public:
    // The millisecond tick; tests replace it to make time pass.
    using TTickSource = std::function<std::uint32_t()>;

    TTaskState();
    TTaskState(const TTaskState &) = delete;
    TTaskState &operator=(const TTaskState &) = delete;

    static std::uint32_t GetTickCount();
    // Set before the first run only; the work thread reads it.
    void SetTickSource(TTickSource ASource);

    void Start(int AItemCount);
    void Reset();
    void StepProgress(int ACount);
    void UpdateItemNumber(int AItemNumber);
    void UpdateDataSize(int ADataSize);
    void IncErrorCount(int ACount);
    void UpdateErrorCount(int AErrorCount);
    void UpdateTickCount(std::uint32_t Value);
    // Raises the silent abort error once a stop was requested.
    void CheckStopFlag() const;
    void Stop(const QString &AText, bool ASucceeded);
    void Success();
    void Fail(const QString &AErrorText);
    void UserCancel();

    QString Text() const { return FText.Value(); }
    void SetText(const QString &Value) { FText.SetValue(Value); }
    QString FailedInfo() const { return FFailedInfo.Value(); }
    void SetFailedInfo(const QString &Value) { FFailedInfo.SetValue(Value); }
    QString SuccessText() const { return FSuccessText.Value(); }
    void SetSuccessText(const QString &Value) { FSuccessText.SetValue(Value); }

    bool Completed() const { return FCompleted; }
    bool Succeeded() const { return FSucceeded; }
    bool IsRunning() const { return FIsRunning; }
    bool UserCancelled() const { return FUserCancelled; }
    int ItemNumber() const { return FItemNumber; }
    int ItemCount() const { return FItemCount; }
    int DataSpeed() const { return FDataSpeed; }
    int ErrorCount() const { return FErrorCount; }
    std::uint32_t TickCount() const { return FTickCount; }
    QDateTime StartTime() const;

    int Percents() const;
    std::chrono::milliseconds TimeElapsed() const;
    std::chrono::milliseconds TimeRemain() const;

private:
    std::uint32_t Now() const;

    TThreadString FText;
    std::atomic<int> FDataSize{0};
    std::atomic<bool> FStopFlag{false};
    std::atomic<bool> FCompleted{false};
    std::atomic<int> FItemNumber{0};
    std::atomic<int> FItemCount{0};
    std::atomic<qint64> FStartTime{0};
    std::atomic<bool> FSucceeded{false};
    std::atomic<int> FDataSpeed{0};
    std::atomic<std::uint32_t> FTickCount{0};
    std::atomic<bool> FIsRunning{false};
    std::atomic<int> FErrorCount{0};
    TThreadString FFailedInfo;
    std::atomic<bool> FUserCancelled{false};
    TThreadString FSuccessText;
    TTickSource FTickSource;
};
