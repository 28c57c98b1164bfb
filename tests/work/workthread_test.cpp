#include "core/errors.h"
#include "tests/support/printers.h"
#include "tests/work/workitemtesting.h"
#include "work/workthread.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

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
