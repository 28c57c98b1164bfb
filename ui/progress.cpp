#include "ui/progress.h"

#include "ui/statusicons.h"
#include "ui/uicontroller.h"
#include "ui/uifonts.h"
#include "ui/userprompts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int PollInterval = 500;

QString CancelQuestion() {
    return QStringLiteral("Отменить операцию?");
}
QString Attention() {
    return QStringLiteral("Внимание!");
}

QToolButton *NewStopButton(QWidget *Parent, const QString &Hint) {
    auto *Button = new QToolButton(Parent);
    Button->setObjectName(QStringLiteral("btnStop"));
    Button->setFixedSize(36, 36);
    Button->setAutoRaise(true);
    Button->setIcon(Parent->style()->standardIcon(QStyle::SP_BrowserStop));
    Button->setIconSize(QSize(24, 24));
    Button->setToolTip(Hint);
    Button->setEnabled(false);
    return Button;
}

QTimer *NewPollTimer(QObject *Parent) {
    auto *Timer = new QTimer(Parent);
    Timer->setInterval(PollInterval);
    return Timer;
}

QLabel *NewTitleLabel(QWidget *Parent, const char *Name) {
    auto *Label = new QLabel(Parent);
    Label->setObjectName(QLatin1String(Name));
    Label->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    return Label;
}

} // namespace

QString TimeToText(std::chrono::milliseconds Duration) {
    const auto Ms = static_cast<std::uint32_t>(Duration.count());
    const std::uint32_t Days = Ms / 86400000;
    const std::uint32_t Seconds = (Ms % 60000) / 1000;
    const std::uint32_t Minutes = (Ms % 3600000) / 60000;
    const std::uint32_t Hours = (Ms % 86400000) / 3600000;
    // The "c" of " cек." is the Latin letter, as the operators know it.
    QString Text = QString::number(Seconds) + QStringLiteral(" cек.");
    if (Minutes != 0)
        Text = QString::number(Minutes) + QStringLiteral(" мин. ") + Text;
    if (Hours != 0)
        Text = QString::number(Hours) + QStringLiteral(" час. ") + Text;
    if (Days > 0)
        Text = QString::number(Days) + QStringLiteral(" дн. ") + Text;
    return Text;
}

TfmProgress::TfmProgress(QWidget *AOwner)
    : TPage(AOwner)
    , lblProgressName(NewTitleLabel(this, "lblProgressName"))
    , ProgressBar(new QProgressBar(this))
    , lblPercents(NewTitleLabel(this, "lblPercents"))
    , btnStop(NewStopButton(this, QStringLiteral("Прервать")))
    , btnStart(new QPushButton(QStringLiteral("Начать"), this))
    , lblInfo(new QLabel(this))
    , btnRepeat(new QPushButton(QStringLiteral("Повторить операцию"), this))
    , imgStatus(new QLabel(this))
    , Html(new QTextBrowser(this))
    , Timer(NewPollTimer(this)) {
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    lblPercents->setAlignment(Qt::AlignCenter);
    lblPercents->setMinimumWidth(60);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    btnStart->setVisible(false);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    btnRepeat->setObjectName(QStringLiteral("btnRepeat"));
    btnRepeat->setVisible(false);
    imgStatus->setObjectName(QStringLiteral("imgStatus"));
    imgStatus->setFixedSize(24, 24);
    imgStatus->setVisible(false);
    Html->setObjectName(QStringLiteral("Html"));
    Html->setFont(QFont(QStringLiteral("Arial")));
    Html->setFrameShape(QFrame::NoFrame);
    Timer->setObjectName(QStringLiteral("Timer"));

    auto *Bar = new QHBoxLayout;
    Bar->addWidget(ProgressBar, 1);
    Bar->addWidget(lblPercents);
    Bar->addWidget(btnStop);
    auto *Result = new QHBoxLayout;
    Result->addWidget(imgStatus, 0, Qt::AlignTop);
    Result->addWidget(Html, 1);
    auto *Buttons = new QHBoxLayout;
    Buttons->addWidget(btnStart);
    Buttons->addWidget(btnRepeat);
    Buttons->addStretch(1);
    auto *Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(16, 16, 16, 16);
    Layout->addWidget(lblProgressName);
    Layout->addLayout(Bar);
    Layout->addWidget(lblInfo);
    Layout->addLayout(Buttons);
    Layout->addLayout(Result, 1);

    connect(btnStart, &QPushButton::clicked, this, [this] { StartWork(); });
    connect(btnRepeat, &QPushButton::clicked, this, [this] { Run(); });
    connect(btnStop, &QToolButton::clicked, this, [this] { StopClick(); });
    connect(Timer, &QTimer::timeout, this, [this] { UpdateView(); });

    ResetView();
    lblProgressName->clear();
}

TfmProgress::~TfmProgress() {
    // The task may keep the item alive after its page is gone.
    if (FWorkItem)
        FWorkItem->SetOnCompleted(nullptr);
}

void TfmProgress::SetWorkItem(IWorkItemPtr Value) {
    if (FWorkItem)
        FWorkItem->SetOnCompleted(nullptr);
    FWorkItem = std::move(Value);
    FWorking = false;
}

void TfmProgress::ResetView() {
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    lblPercents->setText(QStringLiteral("0%"));
    lblInfo->clear();
    Html->clear();
    imgStatus->setVisible(false);
    btnStop->setEnabled(false);
}

void TfmProgress::DoShow() {
    btnRepeat->setVisible(FRepeatOperation);
    btnStart->setVisible(FUserStart);
    Html->clear();
    ProgressBar->setValue(0);
    lblProgressName->clear();
    imgStatus->setVisible(false);
}

void TfmProgress::Run() {
    if (!FUserStart)
        StartWork();
}

void TfmProgress::StartWork() {
    // Starting a running item again would block the UI until the run ends.
    if (FWorking)
        return;
    UIController().DisablePrevNext();
    ResetView();
    lblProgressName->clear();
    if (!FWorkItem)
        return;
    FWorking = true;
    btnStart->setEnabled(false);
    FWorkItem->SetOnCompleted([this](IWorkItem &) { WorkCompleted(); });
    FWorkItem->Execute();
    btnStop->setEnabled(true);
    btnRepeat->setEnabled(false);
    Timer->start();
}

void TfmProgress::WorkCompleted() {
    FWorking = false;
    btnStart->setEnabled(true);
    Timer->stop();
    UpdateView();
    if (FOnFinished)
        FOnFinished(*this);
}

void TfmProgress::UpdateView() {
    if (!FWorkItem)
        return;
    const TTaskState &State = FWorkItem->State();
    lblProgressName->setText(State.Text());
    const int Percents = State.Percents();
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(Percents);
    lblPercents->setText(QString::number(Percents) + QStringLiteral("%"));
    lblInfo->setText(QStringLiteral("%1: %2").arg(QStringLiteral("Осталось примерно"),
                                                  TimeToText(State.TimeRemain())));
    if (!State.Completed())
        return;
    Timer->stop();
    lblInfo->clear();
    btnStop->setEnabled(false);
    btnRepeat->setEnabled(true);
    imgStatus->setVisible(true);
    if (State.Succeeded()) {
        imgStatus->setPixmap(StatusIcon(TStatusIcon::Success, 24));
        Html->setHtml(QStringLiteral("Операция успешно завершена.\r\n") + QStringLiteral("\r\n") +
                      FSuccessText + QStringLiteral("\r\n") + State.SuccessText());
        UIController().EnableNextOnly();
        return;
    }
    imgStatus->setPixmap(StatusIcon(TStatusIcon::Failure, 24));
    if (State.UserCancelled())
        Html->setHtml(State.FailedInfo());
    else
        Html->setHtml(QStringLiteral("Ошибка: ") + State.FailedInfo() + QStringLiteral("\r\n") +
                      QStringLiteral("Вернитесь в начало"));
    UIController().DisablePrevNext();
}

bool TfmProgress::AskCancel() {
    return UserPrompts().Ask(Attention(), CancelQuestion(), TPromptIcon::Warning, true);
}

void TfmProgress::StopClick() {
    if (FWorkItem && AskCancel()) {
        Cancel();
        UpdateView();
    }
}

bool TfmProgress::Cancel() {
    if (FWorkItem) {
        FWorkItem->Cancel();
        UpdateView();
    }
    return true;
}

bool TfmProgress::QueryPrev() {
    if (FWorkItem && FWorkItem->State().IsRunning())
        return AskCancel();
    return true;
}

void TfmProgress::Prev() {
    if (FWorkItem && FWorkItem->State().IsRunning())
        FWorkItem->Cancel();
    ResetView();
    TPage::Prev();
}

TfmMultiProgress::TfmMultiProgress(QWidget *AOwner)
    : TPage(AOwner)
    , lblProgressName(NewTitleLabel(this, "lblProgressName"))
    , btnStop(NewStopButton(this, QStringLiteral("Прервать все")))
    , lvTasks(new QTreeWidget(this))
    , Timer(NewPollTimer(this)) {
    lvTasks->setObjectName(QStringLiteral("lvTasks"));
    lvTasks->setRootIsDecorated(false);
    lvTasks->setSelectionMode(QAbstractItemView::NoSelection);
    lvTasks->setHeaderLabels({QString(), QStringLiteral("Порт"), QStringLiteral("Прогресс"),
                              QStringLiteral("Состояние"), QStringLiteral("Осталось")});
    lvTasks->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    lvTasks->setColumnWidth(0, 25);
    lvTasks->setColumnWidth(1, 60);
    lvTasks->setColumnWidth(2, 80);
    lvTasks->setColumnWidth(3, 200);
    Timer->setObjectName(QStringLiteral("Timer"));

    auto *Top = new QHBoxLayout;
    Top->addWidget(lblProgressName, 1);
    Top->addWidget(btnStop);
    auto *Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(16, 16, 16, 16);
    Layout->addLayout(Top);
    Layout->addWidget(lvTasks, 1);

    connect(btnStop, &QToolButton::clicked, this, [this] { StopClick(); });
    connect(Timer, &QTimer::timeout, this, [this] { UpdateView(); });
    lblProgressName->clear();
}

TfmMultiProgress::~TfmMultiProgress() = default;

void TfmMultiProgress::SetName(const QString &Value) {
    FName = Value;
    lblProgressName->setText(Value);
}

void TfmMultiProgress::Run() {
    UIController().DisablePrevNext();
    UpdateRows();
    for (const IWorkItemPtr &Item : FWorkList)
        Item->Execute();
    btnStop->setEnabled(true);
    Timer->start();
}

QTreeWidgetItem *TfmMultiProgress::RowOf(const IWorkItem *Item) {
    for (int Index = 0; Index < lvTasks->topLevelItemCount(); ++Index) {
        QTreeWidgetItem *Row = lvTasks->topLevelItem(Index);
        if (Row->data(0, Qt::UserRole).value<const void *>() == Item)
            return Row;
    }
    auto *Row = new QTreeWidgetItem(lvTasks);
    Row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<const void *>(Item)));
    Row->setTextAlignment(2, Qt::AlignCenter);
    return Row;
}

void TfmMultiProgress::UpdateRows() {
    for (const IWorkItemPtr &Item : FWorkList) {
        QTreeWidgetItem *Row = RowOf(Item.get());
        const TTaskState &State = Item->State();
        const bool Running = State.IsRunning();
        const bool Completed = State.Completed();
        const bool Succeeded = State.Succeeded();
        Row->setText(1, Item->Name());
        Row->setText(2, QStringLiteral("%1%").arg(State.Percents()));
        Row->setText(3, State.Text());
        Row->setText(4, Running ? TimeToText(State.TimeRemain()) : QString());
        TStatusIcon Icon = TStatusIcon::Running;
        if (!Running && Completed)
            Icon = Succeeded ? TStatusIcon::Success : TStatusIcon::Failure;
        Row->setIcon(0, QIcon(StatusIcon(Icon, 16)));
        Row->setData(0, Qt::UserRole + 1, static_cast<int>(Icon));
    }
}

void TfmMultiProgress::UpdateView() {
    UpdateRows();
    bool AnyRunning = false;
    for (const IWorkItemPtr &Item : FWorkList)
        AnyRunning = AnyRunning || Item->State().IsRunning();
    if (AnyRunning) {
        UIController().DisablePrevNext();
        return;
    }
    btnStop->setEnabled(false);
    UIController().EnablePrevNext();
    Timer->stop();
    // An item may have ended after its row was drawn in this tick: show the final states.
    UpdateRows();
}

void TfmMultiProgress::StopClick() {
    if (UserPrompts().Ask(Attention(), CancelQuestion(), TPromptIcon::Warning, true))
        Cancel();
}

bool TfmMultiProgress::Cancel() {
    UpdateView();
    for (const IWorkItemPtr &Item : FWorkList)
        Item->Cancel();
    // Nothing runs now: the final rows, and no timer left polling behind a hidden page.
    UpdateView();
    return true;
}
