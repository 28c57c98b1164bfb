#pragma once

#include "core/log.h"
#include "work/taskstate.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class IWorkItem;

// OnCompleted of a work item; the item itself is the sender.
using TWorkItemEvent = std::function<void(IWorkItem &Sender)>;

// What pages hold of a work item: one device operation that runs on a thread of its own and
// publishes its progress in State. Held through IWorkItemPtr; the last holder destroys it.
class IWorkItem {
public:
    virtual ~IWorkItem() = default;
    virtual TTaskState &State() = 0;
    virtual QString Name() const = 0;
    virtual void SetName(const QString &Value) = 0;
    virtual TWorkItemEvent OnCompleted() const = 0;
    virtual void SetOnCompleted(TWorkItemEvent Value) = 0;
    virtual void Execute() = 0;
    virtual void Cancel() = 0;
};

using IWorkItemPtr = std::shared_ptr<IWorkItem>;

// A thread that runs one callback. Created suspended: nothing runs before Start; it is not freed
// when its body ends, WaitFor joins it.
class TNotifyThread {
public:
    using TExecuteEvent = std::function<void(TNotifyThread &Sender)>;

    explicit TNotifyThread(TExecuteEvent AOnExecute);
    ~TNotifyThread();
    TNotifyThread(const TNotifyThread &) = delete;
    TNotifyThread &operator=(const TNotifyThread &) = delete;

    void Start();
    void WaitFor();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }

private:
    TExecuteEvent FOnExecute;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;
};

class TCompletionNotifier;

// Base of all work items: owns the thread and the state. Concrete items override DoExecute (runs
// on the work thread and must turn every error into Stop(message, false)) and Cancel (interrupt
// the device first, then UserCancel on the state, then TWorkThread::Cancel).
//
// Create items with NewWorkItem, never on the stack: the holder that lets go last destroys the
// item only after its thread has ended, while the concrete part still exists.
//
// Completion: the work thread posts an event to a notifier on the UI thread once DoExecute has
// returned; the notifier raises OnCompleted there. Cancel waits for the thread on the UI thread
// and then delivers a still pending completion itself, so OnCompleted may run inside Cancel and
// is never raised twice for one run. The join needs nothing from the UI thread: a work body must
// never wait for it.
class TWorkThread : public IWorkItem, public std::enable_shared_from_this<TWorkThread> {
public:
    TWorkThread();
    ~TWorkThread() override;
    TWorkThread(const TWorkThread &) = delete;
    TWorkThread &operator=(const TWorkThread &) = delete;

    TTaskState &State() override { return FState; }
    QString Name() const override { return FName; }
    void SetName(const QString &Value) override { FName = Value; }
    TWorkItemEvent OnCompleted() const override { return FOnCompleted; }
    void SetOnCompleted(TWorkItemEvent Value) override { FOnCompleted = std::move(Value); }
    void Execute() override;
    void Cancel() override;

    bool Started() const { return FStarted; }
    // Joins the running thread without raising OnCompleted; for the item's last holder.
    void WaitForThread();

protected:
    virtual void DoExecute() {}

private:
    friend class TCompletionNotifier;

    void ThreadExecute();
    void ThreadTerminated(TCompletionNotifier *Run);
    void WaitAndDeliver();
    void ReleaseRun();

    std::atomic<bool> FStarted{false};
    std::unique_ptr<TNotifyThread> FThread;
    TWorkItemEvent FOnCompleted;
    TTaskState FState;
    QString FName;
    // Receiver of the current run's completion event; replaced by every Execute.
    TCompletionNotifier *FNotifier = nullptr;
    bool FCompletionPending = false;
};

// Creates a work item owned by a shared pointer whose deleter joins the thread first.
template <class T, class... TArgs>
std::shared_ptr<T> NewWorkItem(TArgs &&...Args) {
    return std::shared_ptr<T>(new T(std::forward<TArgs>(Args)...), [](T *Item) {
        Item->WaitForThread();
        delete Item;
    });
}
