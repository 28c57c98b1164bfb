#include "work/taskstate.h"

#include "core/errors.h"

#include <limits>

QString TThreadString::Value() const {
    std::lock_guard Guard(FLock);
    return FValue;
}

void TThreadString::SetValue(const QString &AValue) {
    std::lock_guard Guard(FLock);
    FValue = AValue;
}

TTaskState::TTaskState()
    : FTickSource(&TTaskState::GetTickCount) {}

std::uint32_t TTaskState::GetTickCount() {
    const auto Since = std::chrono::steady_clock::now().time_since_epoch();
    // Wraps after 49.7 days like the 32-bit tick it stands for; differences stay correct.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Since).count());
}

void TTaskState::SetTickSource(TTickSource ASource) {
    FTickSource = std::move(ASource);
}

std::uint32_t TTaskState::Now() const {
    return FTickSource();
}

void TTaskState::Start(int AItemCount) {
    FDataSize = 0;
    FDataSpeed = 0;
    FStartTime = QDateTime::currentMSecsSinceEpoch();
    FCompleted = false;
    FSucceeded = false;
    FStopFlag = false;
    FTickCount = Now();
    FIsRunning = true;
    FItemNumber = 0;
    FErrorCount = 0;
    FItemCount = AItemCount;
    FUserCancelled = false;
    FFailedInfo.SetValue(QString());
}

void TTaskState::Reset() {
    FStopFlag = false;
}

void TTaskState::StepProgress(int ACount) {
    FItemNumber += ACount;
}

void TTaskState::UpdateItemNumber(int AItemNumber) {
    FItemNumber = AItemNumber;
}

void TTaskState::UpdateDataSize(int ADataSize) {
    const int Total = FDataSize += ADataSize;
    const std::uint32_t Seconds = (Now() - FTickCount) / 1000;
    if (Seconds != 0)
        FDataSpeed = static_cast<int>(Total / static_cast<qint64>(Seconds));
}

void TTaskState::IncErrorCount(int ACount) {
    FErrorCount += ACount;
}

void TTaskState::UpdateErrorCount(int AErrorCount) {
    FErrorCount = AErrorCount;
}

void TTaskState::UpdateTickCount(std::uint32_t Value) {
    FTickCount = Value;
}

void TTaskState::CheckStopFlag() const {
    if (FStopFlag)
        throw EAbort(QStringLiteral("Операция отменена"));
}

void TTaskState::Stop(const QString &AText, bool ASucceeded) {
    FText.SetValue(AText);
    FStopFlag = true;
    FCompleted = true;
    FSucceeded = ASucceeded;
    FIsRunning = false;
    if (!ASucceeded)
        FFailedInfo.SetValue(AText);
}

void TTaskState::Success() {
    Stop(QStringLiteral("Выполнено успешно"), true);
}

void TTaskState::Fail(const QString &AErrorText) {
    Stop(QStringLiteral("Ошибка"), false);
    FFailedInfo.SetValue(AErrorText);
}

void TTaskState::UserCancel() {
    Stop(QStringLiteral("Операция отменена"), false);
    FUserCancelled = true;
    FFailedInfo.SetValue(QStringLiteral("Операция отменена пользователем"));
}

QDateTime TTaskState::StartTime() const {
    return QDateTime::fromMSecsSinceEpoch(FStartTime);
}

int TTaskState::Percents() const {
    const int Count = FItemCount;
    if (Count <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(FItemNumber) * 100.0 / Count);
}

std::chrono::milliseconds TTaskState::TimeElapsed() const {
    return std::chrono::milliseconds(static_cast<std::uint32_t>(Now() - FTickCount));
}

std::chrono::milliseconds TTaskState::TimeRemain() const {
    const int Count = FItemCount;
    if (!FIsRunning || Count <= 0)
        return std::chrono::milliseconds(0);
    const double Done = static_cast<double>(FItemNumber) * 100.0 / Count;
    if (Done <= 0)
        return std::chrono::milliseconds(0);
    const double Elapsed = static_cast<std::uint32_t>(Now() - FTickCount);
    const double Total = Elapsed * 100.0 / Done;
    // More steps than planned would make the estimate negative: nothing remains then.
    if (Total <= Elapsed)
        return std::chrono::milliseconds(0);
    const double Remain =
        std::min(Total - Elapsed, static_cast<double>(std::numeric_limits<std::uint32_t>::max()));
    return std::chrono::milliseconds(static_cast<std::uint32_t>(Remain));
}
