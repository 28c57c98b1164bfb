#pragma once

#include "ui/page.h"
#include "work/workthread.h"

#include <QString>
#include <chrono>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// A duration as the progress pages show it, "1 час. 2 мин. 3 cек."; whole milliseconds of a
// 32-bit tick.
QString TimeToText(std::chrono::milliseconds Duration);

// The step on which one work item runs: progress bar, status line, remaining time and, at the
// end, the result text with a success or failure icon. Watches the item's state every 500 ms.
class TfmProgress : public TPage {
    Q_OBJECT

public:
    explicit TfmProgress(QWidget *AOwner = nullptr);
    ~TfmProgress() override;

    bool Cancel() override;
    void Run() override;
    bool QueryPrev() override;
    void Prev() override;

    const IWorkItemPtr &WorkItem() const { return FWorkItem; }
    void SetWorkItem(IWorkItemPtr Value);
    const QString &SuccessText() const { return FSuccessText; }
    void SetSuccessText(const QString &Value) { FSuccessText = Value; }
    bool RepeatOperation() const { return FRepeatOperation; }
    void SetRepeatOperation(bool Value) { FRepeatOperation = Value; }
    bool UserStart() const { return FUserStart; }
    void SetUserStart(bool Value) { FUserStart = Value; }
    void SetOnFinished(TPageEvent Value) { FOnFinished = std::move(Value); }

    void UpdateView();

protected:
    void DoShow() override;

private:
    void ResetView();
    void StartWork();
    void WorkCompleted();
    void StopClick();
    bool AskCancel();

    QLabel *lblProgressName;
    QProgressBar *ProgressBar;
    QLabel *lblPercents;
    QToolButton *btnStop;
    QPushButton *btnStart;
    QLabel *lblInfo;
    QPushButton *btnRepeat;
    QLabel *imgStatus;
    QTextBrowser *Html;
    QTimer *Timer;

    IWorkItemPtr FWorkItem;
    QString FSuccessText;
    bool FRepeatOperation = false;
    bool FUserStart = false;
    TPageEvent FOnFinished;
    // Between StartWork and the item's completion; the start button does nothing meanwhile.
    bool FWorking = false;
};

// The step on which several work items run at once, one list row each.
class TfmMultiProgress : public TPage {
    Q_OBJECT

public:
    explicit TfmMultiProgress(QWidget *AOwner = nullptr);
    ~TfmMultiProgress() override;

    bool Cancel() override;
    void Run() override;

    const QString &SuccessText() const { return FSuccessText; }
    void SetSuccessText(const QString &Value) { FSuccessText = Value; }
    std::vector<IWorkItemPtr> &WorkList() { return FWorkList; }
    const QString &Name() const { return FName; }
    void SetName(const QString &Value);

    void UpdateView();

private:
    void UpdateRows();
    QTreeWidgetItem *RowOf(const IWorkItem *Item);
    void StopClick();

    QLabel *lblProgressName;
    QToolButton *btnStop;
    QTreeWidget *lvTasks;
    QTimer *Timer;

    QString FSuccessText;
    std::vector<IWorkItemPtr> FWorkList;
    QString FName;
};
