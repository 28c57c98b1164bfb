#include "ui/mainwindow.h"

#include "core/appmanager.h"
#include "core/dm.h"
#include "core/errors.h"
#include "core/log.h"
#include "ui/page.h"
#include "ui/rowdelegate.h"
#include "ui/statusicons.h"
#include "ui/uifonts.h"
#include "ui/userprompts.h"
#include "work/devicetask.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

TfmMain::TDriverPropertiesHook &DriverPropertiesHook() {
    static TfmMain::TDriverPropertiesHook Hook;
    return Hook;
}

QString BaseCaption() {
    return QStringLiteral("Kalibra") + QStringLiteral(" v") + GetVersionText();
}

// "Short|Long" hints: the short part is the tooltip, the long one the status tip.
void SetHint(QWidget *Widget, const QString &Hint) {
    const qsizetype Bar = Hint.indexOf(QLatin1Char('|'));
    Widget->setToolTip(Bar < 0 ? Hint : Hint.left(Bar));
    Widget->setStatusTip(Bar < 0 ? Hint : Hint.mid(Bar + 1));
}

QToolButton *NewFlatButton(QWidget *Parent, const char *Name, const QPixmap &Glyph,
                           const QString &Hint) {
    auto *Button = new QToolButton(Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setFixedSize(36, 36);
    Button->setAutoRaise(true);
    Button->setIcon(QIcon(Glyph));
    Button->setIconSize(QSize(26, 26));
    SetHint(Button, Hint);
    return Button;
}

QFrame *NewBevel(QWidget *Parent) {
    auto *Line = new QFrame(Parent);
    Line->setFrameShape(QFrame::HLine);
    Line->setFrameShadow(QFrame::Sunken);
    return Line;
}

} // namespace

TfmMain::TfmMain(QWidget *Parent)
    : QMainWindow(Parent) {
    GlobalLog().SetEnabled(true);
    GlobalLog().SetDailyLogs(true);

    setObjectName(QStringLiteral("fmMain"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    auto *Client = new QWidget(this);
    setCentralWidget(Client);
    BuildHeader(Client);
    lvSteps = new QListWidget(Client);
    lvSteps->setObjectName(QStringLiteral("lvSteps"));
    lvSteps->setFixedWidth(201);
    lvSteps->setFont(PixelFont(QStringLiteral("Arial"), 12));
    lvSteps->setItemDelegate(new TListRowDelegate(22, true, lvSteps));
    lvSteps->setSelectionMode(QAbstractItemView::SingleSelection);
    lvSteps->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSteps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSteps->setVisible(false);
    pnlSite = new QWidget(Client);
    pnlSite->setObjectName(QStringLiteral("pnlSite"));
    auto *SiteLayout = new QVBoxLayout(pnlSite);
    SiteLayout->setContentsMargins(0, 0, 0, 0);
    BuildBottomBar(Client);

    auto *Body = new QHBoxLayout;
    Body->setSpacing(0);
    Body->addWidget(lvSteps);
    Body->addWidget(pnlSite, 1);
    auto *Layout = new QVBoxLayout(Client);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    Layout->addWidget(pnlTop);
    Layout->addWidget(NewBevel(Client));
    Layout->addLayout(Body, 1);
    Layout->addWidget(NewBevel(Client));
    Layout->addWidget(pnlBottom);

    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));
    QAction *N1 = pmMain->addAction(QStringLiteral("Свойства драйвера ФР..."));
    N1->setObjectName(QStringLiteral("N1"));
    connect(N1, &QAction::triggered, this, [this] { DriverPropertiesClick(); });

    resize(723, 521);
    setMinimumSize(410, 378);
    if (const QScreen *Screen = screen())
        move(Screen->availableGeometry().center() - rect().center());
    setWindowTitle(BaseCaption());

    connect(btnNext, &QPushButton::clicked, this, [] { UIController().Next(); });
    connect(btnHome, &QToolButton::clicked, this, [this] { HomeClick(); });
    connect(btnMenu, &QToolButton::clicked, this, [this] { MenuClick(); });
    connect(btnExit, &QToolButton::clicked, this, [this] { close(); });
    // Queued: the click refills the list it came from.
    connect(
        lvSteps, &QListWidget::itemClicked, this, [this] { StepsClick(); }, Qt::QueuedConnection);

    TUIController &Controller = UIController();
    Controller.SetOnUpdate([this] { DoPageUpdate(); });
    Controller.SetOnButtonUpdate(
        [this](TButtonEventType EventType, bool Value) { DoButtonUpdate(EventType, Value); });
    Controller.SetOnUpdateAppCaption([this](const QString &Text) { DoUpdateAppCaption(Text); });
    Controller.Initialize();
    DoPageUpdate();
}

TfmMain::~TfmMain() {
    FreeUIController();
    FreeAppManager();
}

void TfmMain::BuildHeader(QWidget *Parent) {
    pnlTop = new QFrame(Parent);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(57);
    pnlTop->setAutoFillBackground(true);
    QPalette White = pnlTop->palette();
    White.setColor(QPalette::Window, Qt::white);
    pnlTop->setPalette(White);
    imgTopIcon = new QLabel(pnlTop);
    imgTopIcon->setObjectName(QStringLiteral("imgTopIcon"));
    imgTopIcon->setFixedSize(26, 26);
    lblTop = new QLabel(QStringLiteral("Настройка программы"), pnlTop);
    lblTop->setObjectName(QStringLiteral("lblTop"));
    lblTop->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    auto *Layout = new QHBoxLayout(pnlTop);
    Layout->setContentsMargins(10, 0, 10, 0);
    Layout->setSpacing(8);
    Layout->addWidget(imgTopIcon, 0, Qt::AlignVCenter);
    Layout->addWidget(lblTop, 1, Qt::AlignVCenter);
}

void TfmMain::BuildBottomBar(QWidget *Parent) {
    pnlBottom = new QFrame(Parent);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(53);
    btnHome = NewFlatButton(pnlBottom, "btnHome", DM().GetImage(ImageIndex::home),
                            QStringLiteral("Вернуться в начало |Вернуться в начало\r\n"
                                           "(Омена текущей операции)"));
    btnHome->setEnabled(false);

    pnlCenterButtons = new QWidget(pnlBottom);
    pnlCenterButtons->setObjectName(QStringLiteral("pnlCenterButtons"));
    btnPrev = new QPushButton(QStringLiteral("Назад"), pnlCenterButtons);
    btnPrev->setObjectName(QStringLiteral("btnPrev"));
    btnPrev->setVisible(false);
    btnNext = new QPushButton(QStringLiteral("Далее"), pnlCenterButtons);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnNext->setFixedSize(145, 37);
    btnNext->setIcon(QIcon(StatusIcon(TStatusIcon::ArrowRight, 16)));
    // The glyph sits on the right of the caption.
    btnNext->setLayoutDirection(Qt::RightToLeft);
    SetHint(btnNext, QStringLiteral("Перейти к следующему шагу"));
    auto *Center = new QHBoxLayout(pnlCenterButtons);
    Center->setContentsMargins(0, 0, 0, 0);
    Center->addWidget(btnPrev);
    Center->addWidget(btnNext);

    pnlBRight = new QWidget(pnlBottom);
    pnlBRight->setObjectName(QStringLiteral("pnlBRight"));
    btnMenu = NewFlatButton(pnlBRight, "btnMenu", StatusIcon(TStatusIcon::Menu, 26),
                            QStringLiteral("Открыть меню"));
    btnExit = NewFlatButton(pnlBRight, "btnExit", StatusIcon(TStatusIcon::Exit, 26),
                            QStringLiteral("Выход из программы"));
    auto *Right = new QHBoxLayout(pnlBRight);
    Right->setContentsMargins(0, 0, 0, 0);
    Right->addWidget(btnMenu);
    Right->addWidget(btnExit);

    auto *Layout = new QHBoxLayout(pnlBottom);
    Layout->setContentsMargins(10, 0, 10, 0);
    Layout->addWidget(btnHome, 0, Qt::AlignVCenter);
    Layout->addStretch(1);
    Layout->addWidget(pnlCenterButtons, 0, Qt::AlignVCenter);
    Layout->addStretch(1);
    Layout->addWidget(pnlBRight, 0, Qt::AlignBottom);
}

void TfmMain::SetDriverPropertiesHook(TDriverPropertiesHook AHook) {
    DriverPropertiesHook() = std::move(AHook);
}

void TfmMain::DoPageUpdate() {
    show();
    ShowPage(UIController().Page());
}

void TfmMain::ShowPage(TPage *APage) {
    if (!APage)
        return;
    const TUIController &Controller = UIController();
    if (APage != FPage) {
        if (FPage)
            FPage->hide();
        if (APage->parentWidget() != pnlSite) {
            APage->setParent(pnlSite);
            pnlSite->layout()->addWidget(APage);
        }
        APage->show();
        if (Controller.PageIndex() < 0)
            lvSteps->hide();
        QString Header = APage->Caption();
        const TDeviceTask *Task = Controller.GetCurrentTask();
        if (Task && Controller.PageIndex() >= 0) {
            lvSteps->setVisible(Task->IsStepsAllowed());
            FillSteps();
            Header = Task->Description() + QStringLiteral(": ") + APage->Caption();
            if (Controller.StepNumber() != 0 && Controller.StepCount() > 1)
                Header = QStringLiteral("%1 (%2/%3)")
                             .arg(Header, QString::number(Controller.StepNumber()),
                                  QString::number(Controller.StepCount()));
        }
        lblTop->setText(Header);
        imgTopIcon->setPixmap(DM().GetImage(APage->ImageIndex()));
        FPage = APage;
    }
    centralWidget()->layout()->activate();
    FPage->Run();
}

void TfmMain::FillSteps() {
    const TUIController &Controller = UIController();
    const TDeviceTask *Task = Controller.GetCurrentTask();
    const QSignalBlocker Blocker(lvSteps);
    lvSteps->clear();
    for (int Index = 0; Index < Task->Pages().Count(); ++Index)
        lvSteps->addItem(QString::number(Index + 1) + QStringLiteral(". ") +
                         Task->Pages().Items(Index)->Caption());
    lvSteps->setCurrentRow(Controller.StepNumber() - 1);
}

void TfmMain::DoButtonUpdate(TButtonEventType EventType, bool Value) {
    switch (EventType) {
    case TButtonEventType::etNextEnable:
        btnNext->setEnabled(Value);
        break;
    case TButtonEventType::etNextFocus:
        if (Value)
            btnNext->setFocus();
        break;
    case TButtonEventType::etNextDefault:
        btnNext->setDefault(Value);
        break;
    case TButtonEventType::etPrevDefault:
        btnPrev->setDefault(Value);
        break;
    case TButtonEventType::etHomeEnable:
        btnHome->setEnabled(Value);
        break;
    case TButtonEventType::etPrevEnable:
    case TButtonEventType::etPrevFocus:
        break;
    }
}

void TfmMain::DoUpdateAppCaption(const QString &Text) {
    setWindowTitle(Text.isEmpty() ? BaseCaption() : BaseCaption() + QStringLiteral(": ") + Text);
}

void TfmMain::keyPressEvent(QKeyEvent *Event) {
    // A main window has no default button of its own: Enter presses the one the pages chose.
    const bool Enter = Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter;
    if (Enter && btnNext->isDefault() && btnNext->isEnabled()) {
        btnNext->click();
        return;
    }
    QMainWindow::keyPressEvent(Event);
}

void TfmMain::HomeClick() {
    if (!UserPrompts().Ask(QStringLiteral("Внимание!"), QStringLiteral("Вернуться в начало?"),
                           TPromptIcon::Question, true))
        return;
    TUIController &Controller = UIController();
    Controller.Home();
    Controller.EnableHome(false);
    Controller.EnableNextOnly();
}

void TfmMain::MenuClick() {
    pmMain->actions().constFirst()->setEnabled(static_cast<bool>(DriverPropertiesHook()));
    pmMain->popup(centralWidget()->mapToGlobal(QPoint(pnlBRight->x(), pnlBottom->y() - 30)));
}

void TfmMain::DriverPropertiesClick() {
    if (DriverPropertiesHook())
        WithErrorBox([this] { DriverPropertiesHook()(this); });
}

void TfmMain::StepsClick() {
    if (lvSteps->selectedItems().isEmpty())
        return;
    const int Row = lvSteps->currentRow();
    WithErrorBox([Row] { UIController().SetStep(Row + 1); });
}

void TfmMain::closeEvent(QCloseEvent *Event) {
    if (!UserPrompts().Ask(QStringLiteral("Выход из приложения"),
                           QStringLiteral("Вы действительно хотите выйти?"), TPromptIcon::Question,
                           false)) {
        Event->ignore();
        return;
    }
    WithErrorBox([] { UIController().Cancel(); });
    Event->accept();
}
