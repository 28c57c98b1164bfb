#pragma once

// Helpers of the tests that run work items: a stand-in device operation and an event wait.
#include "core/errors.h"
#include "work/workthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

// Processes events until Done holds or five seconds pass.
template <class TPredicate>
bool WaitUntil(TPredicate Done) {
    QElapsedTimer Timer;
    Timer.start();
    while (!Done() && Timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return Done();
}

// A work item that follows the work contract: steps until released, a stop check before each
// step, errors into a failed state. Stands in for a device operation that blocks on a port.
class TGateWorkItem : public TWorkThread {
public:
    explicit TGateWorkItem(int ASteps = 3, bool AWaitForGate = true)
        : FSteps(ASteps)
        , FGate(!AWaitForGate) {}

    void Open() { FGate = true; }
    void FailWith(QString AMessage) { FFailure = std::move(AMessage); }
    void Cancel() override {
        FInterrupted = true;
        State().UserCancel();
        TWorkThread::Cancel();
    }

    std::atomic<int> Runs{0};
    std::atomic<int> Running{0};
    std::atomic<int> MostRunning{0};

protected:
    void DoExecute() override {
        const int Now = ++Running;
        MostRunning = std::max(MostRunning.load(), Now);
        ++Runs;
        try {
            State().Reset();
            State().Start(FSteps);
            for (int Step = 0; Step < FSteps; ++Step) {
                State().CheckStopFlag();
                while (!FGate && !FInterrupted)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (!FFailure.isEmpty())
                    throw Exception(FFailure);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                State().StepProgress(1);
            }
            State().Stop(QStringLiteral("Операция выполнена успешно"), true);
        } catch (const std::exception &E) {
            State().Stop(ExceptionMessage(E), false);
        }
        --Running;
    }

private:
    const int FSteps;
    std::atomic<bool> FGate;
    std::atomic<bool> FInterrupted{false};
    QString FFailure;
};
