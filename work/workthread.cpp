#include "work/workthread.h"

#include "core/errors.h"

#include <QCoreApplication>
#include <QEvent>
#include <atomic>

namespace {

const TLogger &WorkThreadLogger() {
    static const TLogger Logger(QStringLiteral("TWorkThread"));
    return Logger;
}

} // namespace

// Lives on the UI thread and receives the completion event of one run. The work thread posts
// the event through Qt's queue and writes nothing else the UI reads, except the atomics of the
// task state.
class TCompletionNotifier : public QObject {
public:
    explicit TCompletionNotifier(TWorkThread *AOwner)
        : FOwner(AOwner) {}

    static QEvent::Type EventType() {
        static const auto Type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return Type;
    }

    // Work thread: hands the completion event to Qt's queue.
    void Post() {
        auto *Event = new QEvent(EventType());
        // Qt guards its queue with futexes that ThreadSanitizer cannot see; this pair of
        // atomic operations shows it the hand-over of the event.
        FPosted.store(true, std::memory_order_release);
        QCoreApplication::postEvent(this, Event);
    }

    // The run is over for its item: later events are ignored and the object goes away.
    void Detach() {
        FOwner = nullptr;
        deleteLater();
    }

protected:
    bool event(QEvent *Event) override {
        FPosted.load(std::memory_order_acquire);
        if (Event->type() != EventType())
            return QObject::event(Event);
        if (FOwner)
            FOwner->ThreadTerminated(this);
        return true;
    }

private:
    TWorkThread *FOwner;
    std::atomic<bool> FPosted{false};
};

TNotifyThread::TNotifyThread(TExecuteEvent AOnExecute)
    : FOnExecute(std::move(AOnExecute)) {}

TNotifyThread::~TNotifyThread() {
    WaitFor();
}

void TNotifyThread::Start() {
    if (FThread.joinable())
        return;
    FThread = std::thread([this] {
        if (FOnExecute)
            FOnExecute(*this);
    });
}

void TNotifyThread::WaitFor() {
    if (FThread.joinable())
        FThread.join();
}

TWorkThread::TWorkThread() = default;

TWorkThread::~TWorkThread() {
    WaitForThread();
    ReleaseRun();
}

void TWorkThread::Execute() {
    // A previous run that has not reported yet is superseded by this one: raising its
    // OnCompleted here could start yet another run from inside this call.
    WaitForThread();
    FThread.reset();
    ReleaseRun();
    FStarted = false;

    auto *Notifier = new TCompletionNotifier(this);
    FNotifier = Notifier;
    FCompletionPending = true;
    FThread = std::make_unique<TNotifyThread>([this, Notifier](TNotifyThread &) {
        ThreadExecute();
        Notifier->Post();
    });
    FThread->Start();
}

void TWorkThread::Cancel() {
    FState.SetText(QStringLiteral("Операция отменяется..."));
    WaitAndDeliver();
}

void TWorkThread::WaitForThread() {
    if (FThread)
        FThread->WaitFor();
}

void TWorkThread::ThreadExecute() {
    FStarted = true;
    // DoExecute keeps its errors, but one that slips through must not end the process.
    try {
        DoExecute();
    } catch (const std::exception &E) {
        WorkThreadLogger().Error(Name(), E);
        FState.Stop(ExceptionMessage(E), false);
    } catch (...) {
        WorkThreadLogger().Error(Name());
        FState.Stop(QStringLiteral("Неизвестная ошибка"), false);
    }
}

void TWorkThread::ThreadTerminated(TCompletionNotifier *Run) {
    if (Run != FNotifier || !FCompletionPending)
        return;
    FCompletionPending = false;
    FStarted = false;
    // The handler may drop the last reference to this item.
    const auto KeepAlive = weak_from_this().lock();
    if (const TWorkItemEvent Handler = FOnCompleted)
        Handler(*this);
}

void TWorkThread::WaitAndDeliver() {
    if (!FThread)
        return;
    FThread->WaitFor();
    ThreadTerminated(FNotifier);
}

void TWorkThread::ReleaseRun() {
    if (FNotifier)
        FNotifier->Detach();
    FNotifier = nullptr;
    FCompletionPending = false;
}
