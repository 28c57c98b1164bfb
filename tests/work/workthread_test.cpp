#include "core/errors.h"
#include "tests/support/printers.h"
#include "work/workthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

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
                    std::this_thread::sleep_for(1ms);
                if (!FFailure.isEmpty())
                    throw Exception(FFailure);
                std::this_thread::sleep_for(2ms);
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

// Records every completion and the thread it arrived on.
struct Completions {
    void Attach(IWorkItem &Item) {
        Item.SetOnCompleted([this](IWorkItem &Sender) {
            ++Count;
            OnUiThread = OnUiThread && QThread::currentThread() == qApp->thread();
            LastSender = &Sender;
            SucceededSeen = Sender.State().Succeeded();
        });
    }
    int Count = 0;
    bool OnUiThread = true;
    bool SucceededSeen = false;
    IWorkItem *LastSender = nullptr;
};

} // namespace

TEST(WorkThread, CompletionArrivesOnceOnTheUiThreadWithTheFinalState) {
    auto Item = NewWorkItem<TGateWorkItem>(3, false);
    Completions Seen;
    Seen.Attach(*Item);
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Seen.Count == 1; }));
    EXPECT_TRUE(Seen.OnUiThread);
    EXPECT_EQ(Seen.LastSender, Item.get());
    EXPECT_TRUE(Seen.SucceededSeen);
    EXPECT_EQ(Item->State().Percents(), 100);
    EXPECT_FALSE(Item->Started());
    QCoreApplication::processEvents();
    EXPECT_EQ(Seen.Count, 1);
}

TEST(WorkThread, FailureBecomesFailedState) {
    auto Item = NewWorkItem<TGateWorkItem>(3, false);
    Item->FailWith(QStringLiteral("Устройство не отвечает"));
    Completions Seen;
    Seen.Attach(*Item);
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Seen.Count == 1; }));
    EXPECT_FALSE(Item->State().Succeeded());
    EXPECT_EQ(Item->State().FailedInfo(), QStringLiteral("Устройство не отвечает"));
}

TEST(WorkThread, ExecutingTwiceEndsTheFirstRunBeforeTheSecondStarts) {
    auto Item = NewWorkItem<TGateWorkItem>(5, false);
    Completions Seen;
    Seen.Attach(*Item);
    Item->Execute();
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Seen.Count >= 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Item->Runs, 2);
    EXPECT_EQ(Item->MostRunning, 1) << "two runs overlapped";
    EXPECT_EQ(Seen.Count, 1) << "the superseded run reports nothing";
    EXPECT_TRUE(Item->State().Succeeded());
}

TEST(WorkThread, CancelWaitsAndDeliversTheCompletionInside) {
    auto Item = NewWorkItem<TGateWorkItem>(3, true);
    Completions Seen;
    Seen.Attach(*Item);
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Item->State().IsRunning(); }));
    Item->Cancel();
    EXPECT_EQ(Seen.Count, 1) << "Cancel returned before the completion was delivered";
    EXPECT_TRUE(Item->State().Completed());
    EXPECT_TRUE(Item->State().UserCancelled());
    EXPECT_FALSE(Item->State().Succeeded());
    // The work thread's own stop after the abort has the last word.
    EXPECT_EQ(Item->State().FailedInfo(), QStringLiteral("Операция отменена"));
    EXPECT_EQ(Item->Runs, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(Seen.Count, 1) << "the queued completion came a second time";

    Item->Open();
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Seen.Count == 2; }));
    EXPECT_TRUE(Item->State().Succeeded()) << "a repeat after a cancel starts clean";
    EXPECT_FALSE(Item->State().UserCancelled());
}

TEST(WorkThread, CancelOfAnIdleItemReturnsAtOnce) {
    auto Item = NewWorkItem<TGateWorkItem>();
    Completions Seen;
    Seen.Attach(*Item);
    Item->Cancel();
    EXPECT_EQ(Seen.Count, 0);
    EXPECT_EQ(Item->State().Text(), QStringLiteral("Операция отменяется..."));
}

TEST(WorkThread, LastHolderLettingGoWaitsForTheThread) {
    auto Item = NewWorkItem<TGateWorkItem>(3, true);
    auto *Raw = Item.get();
    Item->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Raw->State().IsRunning(); }));
    std::thread Opener([Raw] {
        std::this_thread::sleep_for(20ms);
        Raw->Open();
    });
    IWorkItemPtr Holder = std::move(Item);
    Holder.reset();
    Opener.join();
    // The completion event of the destroyed item must find nobody to call.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(WorkThread, CompletionHandlerMayReleaseTheItem) {
    IWorkItemPtr Holder = NewWorkItem<TGateWorkItem>(2, false);
    bool Called = false;
    Holder->SetOnCompleted([&](IWorkItem &Sender) {
        Called = Sender.State().Succeeded();
        Holder.reset();
    });
    Holder->Execute();
    ASSERT_TRUE(WaitUntil([&] { return Called; }));
    EXPECT_EQ(Holder, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
