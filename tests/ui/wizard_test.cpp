// The wizard as the operator meets it: the main window, the controller, the selection page and
// test tasks registered with the real catalog in place of the real tasks.
#include "core/appmanager.h"
#include "core/appparams.h"
#include "core/dm.h"
#include "core/errors.h"
#include "core/log.h"
#include "tests/support/printers.h"
#include "tests/ui/scriptedprompts.h"
#include "tests/work/workitemtesting.h"
#include "ui/information.h"
#include "ui/mainwindow.h"
#include "ui/progress.h"
#include "ui/selectdevice.h"
#include "work/devicetask.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

enum class TNextAction { Proceed, Raise, Abort, Stay };

// What the test pages do and what happened to them.
struct TScript {
    bool QueryNext = true;
    QString ActOn;
    TNextAction Action = TNextAction::Proceed;
    QStringList Calls;
    int Starts = 0;
};

TScript &Script() {
    static TScript Instance;
    return Instance;
}

class TScriptedPage : public TPage {
public:
    explicit TScriptedPage(const QString &ACaption) {
        SetCaption(ACaption);
        SetImageIndex(ImageIndex::search);
    }
    bool QueryNext() override {
        Script().Calls << Caption() + QStringLiteral(".QueryNext");
        return Script().QueryNext;
    }
    void Next() override {
        Script().Calls << Caption() + QStringLiteral(".Next");
        SetGoNext(true);
        if (Script().ActOn == Caption()) {
            switch (Script().Action) {
            case TNextAction::Raise:
                throw Exception(QStringLiteral("Устройство не найдено"));
            case TNextAction::Abort:
                throw EAbort();
            case TNextAction::Stay:
                SetGoNext(false);
                break;
            case TNextAction::Proceed:
                break;
            }
        }
        TPage::Next();
    }
    bool Cancel() override {
        Script().Calls << Caption() + QStringLiteral(".Cancel");
        return true;
    }

protected:
    void DoShow() override {
        Script().Calls << Caption() + QStringLiteral(".Show");
        UIController().EnableHome(true);
    }
};

// Builds its pages as every task does; the reaction to each page is recorded.
class TScriptedTask : public TDeviceTask {
public:
    TScriptedTask(const QString &AName, const QString &ADescription, bool AStepsAllowed) {
        SetName(AName);
        SetDescription(ADescription);
        SetIsStepsAllowed(AStepsAllowed);
        BeginPages();
    }
    void Start() override { ++Script().Starts; }

protected:
    void AddScriptedPage(const QString &Caption) {
        auto *Page = AddPage(std::make_unique<TScriptedPage>(Caption));
        Page->SetOnNext([](TPage &Sender) { Script().Calls << Sender.Caption() + ".OnNext"; });
    }
};

class TThreeStepTask : public TScriptedTask {
public:
    TThreeStepTask()
        : TScriptedTask(QStringLiteral("CheckFR"), QStringLiteral("Проверка ПТК"), true) {
        for (const char *Caption : {"Поиск", "Проверка состояния ПТК", "Отчёт"})
            AddScriptedPage(QString::fromUtf8(Caption));
    }
};

class TOneStepTask : public TScriptedTask {
public:
    TOneStepTask()
        : TScriptedTask(QStringLiteral("WriteFRFlash"), QStringLiteral("Обновление ПО ПТК"),
                        false) {
        AddScriptedPage(QStringLiteral("Запись"));
    }
};

class TInstructionTask : public TScriptedTask {
public:
    TInstructionTask()
        : TScriptedTask(QStringLiteral("CheckUM"), QStringLiteral("Проверка УМ"), false) {
        auto Info = std::make_unique<TfmInformation>();
        Info->SetCaption(QStringLiteral("Подключение"));
        Info->SetHTMLText(QStringLiteral("<a href=\"next\">далее</a> <a href=\"Next\">Далее</a>"));
        Info->SetOnLink([](QObject &, const QString &Target) { InformationLink(Target); });
        Info->SetOnNext([](TPage &) { Script().Calls << QStringLiteral("Подключение.OnNext"); });
        AddPage(std::move(Info));
        AddScriptedPage(QStringLiteral("Проверка"));
    }
};

// One progress page whose work runs until the test opens its gate.
class TProgressTask : public TScriptedTask {
public:
    TProgressTask()
        : TScriptedTask(QStringLiteral("CheckUMSerial"), QStringLiteral("Проверка УМ"), false) {
        auto Progress = std::make_unique<TfmProgress>();
        Progress->SetCaption(QStringLiteral("Проверка связи"));
        Progress->SetWorkItem(Work());
        AddPage(std::move(Progress));
    }
    static std::shared_ptr<TGateWorkItem> &Work() {
        static std::shared_ptr<TGateWorkItem> Item;
        return Item;
    }
};

class Wizard : public ::testing::Test {
protected:
    void SetUp() override {
        Script() = TScript();
        RegisterDeviceTaskClass<TThreeStepTask>(TDeviceTaskClass::CheckFR);
        for (const auto Class : {TDeviceTaskClass::WriteFRFlash, TDeviceTaskClass::WriteFMFlash,
                                 TDeviceTaskClass::WriteFMNetFlash})
            RegisterDeviceTaskClass<TOneStepTask>(Class);
        RegisterDeviceTaskClass<TInstructionTask>(TDeviceTaskClass::CheckUM);
        RegisterDeviceTaskClass<TProgressTask>(TDeviceTaskClass::CheckUMSerial);
        TProgressTask::Work() = NewWorkItem<TGateWorkItem>(2, true);
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") +
                      QStringLiteral("/ZARNIK/Kalibra/Params.xml"));
        AppParams().SetLastDeviceID(0);
        AppParams().SetLastDeviceTask(0);
        TfmSelectDevice::SetPasswordsHook(
            [this](const TDevice &ADevice) { PasswordsOf = ADevice.Name(); });
        Start();
    }
    void TearDown() override {
        TfmSelectDevice::SetPasswordsHook(nullptr);
        TfmMain::SetDriverPropertiesHook(nullptr);
        Window.reset();
        TProgressTask::Work().reset();
    }

    void Start() {
        Window = std::make_unique<TfmMain>();
        Window->show();
    }
    void Restart() {
        Window.reset();
        Start();
    }

    template <class T>
    T *Child(const char *Name) {
        return Window->findChild<T *>(QLatin1String(Name));
    }
    QListWidget *Devices() { return Child<QListWidget>("lvDevices"); }
    QListWidget *Tasks() { return Child<QListWidget>("lvTasks"); }
    QString Header() { return Child<QLabel>("lblTop")->text(); }
    void Next() { Child<QPushButton>("btnNext")->click(); }
    void Choose(int Model, int Task) {
        Devices()->setCurrentRow(Model);
        Tasks()->setCurrentRow(Task);
        Next();
    }
    bool OnSelectionPage() { return Window->ShownPage() == UIController().HomePage(); }
    QStringList ErrorTexts() {
        QStringList Texts;
        for (const auto &Prompt : Prompts.Shown)
            if (Prompt.Title == QStringLiteral("Произошла ошибка"))
                Texts << Prompt.Text;
        return Texts;
    }

    TScriptedPrompts Prompts;
    QString PasswordsOf;
    TDM Images;
    std::unique_ptr<TfmMain> Window;
};

const QString Caption = QStringLiteral("Kalibra v") + GetVersionText();

} // namespace

TEST_F(Wizard, FirstStartShowsTheCatalogWithFirstModelAndTask) {
    EXPECT_TRUE(OnSelectionPage());
    EXPECT_EQ(Window->windowTitle(), Caption);
    EXPECT_EQ(Header(), QStringLiteral("Выберите устройство и задачу"));
    ASSERT_EQ(Devices()->count(), 16);
    EXPECT_EQ(Devices()->item(0)->text(), QStringLiteral("ПТК Ostrel-01"));
    EXPECT_EQ(Devices()->item(15)->text(), QStringLiteral("Зарник-Таб"));
    EXPECT_EQ(Devices()->currentRow(), 0);
    ASSERT_EQ(Tasks()->count(), 3);
    EXPECT_EQ(Tasks()->item(1)->text(), QStringLiteral("Обновление прошивки ПТК"));
    EXPECT_EQ(Tasks()->currentRow(), 0);
    EXPECT_EQ(Child<QLabel>("lblSelectTask")->text(),
              QStringLiteral("Доступные задачи для ПТК Ostrel-01:"));
    EXPECT_FALSE(Child<QListWidget>("lvSteps")->isVisible());
    EXPECT_FALSE(Child<QToolButton>("btnHome")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnNext")->isEnabled());
    EXPECT_EQ(Window->size(), QSize(723, 521));
}

TEST_F(Wizard, TaskPagesInOrderWithStepsAndBackToTheStart) {
    Choose(0, 0);
    ASSERT_FALSE(ErrorTexts().size()) << ErrorTexts().join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Поиск (1/3)"));
    EXPECT_EQ(Window->windowTitle(), Caption + QStringLiteral(": [Проверка ПТК]"));
    auto *Steps = Child<QListWidget>("lvSteps");
    EXPECT_TRUE(Steps->isVisible());
    ASSERT_EQ(Steps->count(), 3);
    EXPECT_EQ(Steps->item(1)->text(), QStringLiteral("2. Проверка состояния ПТК"));
    EXPECT_EQ(Steps->currentRow(), 0);
    EXPECT_EQ(Script().Starts, 1);
    EXPECT_EQ(AppParams().LastDeviceID(), 24);
    EXPECT_EQ(PasswordsOf, QStringLiteral("ПТК Ostrel-01")) << "passwords not handed over";

    Next();
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Проверка состояния ПТК (2/3)"));
    EXPECT_EQ(Steps->currentRow(), 1);
    EXPECT_TRUE(Script().Calls.contains(QStringLiteral("Поиск.OnNext")));
    Next();
    Next();
    EXPECT_TRUE(OnSelectionPage()) << "Next on the last page returns to the start";
    EXPECT_EQ(Window->windowTitle(), Caption);
    EXPECT_EQ(Header(), QStringLiteral("Выберите устройство и задачу"));
    EXPECT_FALSE(Steps->isVisible());
    EXPECT_EQ(Script().Starts, 4) << "Start follows every move, the last one too";
}

TEST_F(Wizard, OneStepTaskHasNoSuffixAndHiddenSteps) {
    Choose(0, 1);
    EXPECT_EQ(Header(), QStringLiteral("Обновление ПО ПТК: Запись"));
    EXPECT_FALSE(Child<QListWidget>("lvSteps")->isVisible());
}

TEST_F(Wizard, NextOutcomesOfAPage) {
    Choose(0, 0);
    Script().Calls.clear();
    Script().QueryNext = false;
    Next();
    EXPECT_EQ(Script().Calls, QStringList({QStringLiteral("Поиск.QueryNext")}));
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Поиск (1/3)"));

    Script().QueryNext = true;
    Script().ActOn = QStringLiteral("Поиск");
    for (const TNextAction Action : {TNextAction::Raise, TNextAction::Abort, TNextAction::Stay}) {
        Script().Action = Action;
        Script().Calls.clear();
        Next();
        EXPECT_EQ(Script().Calls.contains(QStringLiteral("Поиск.OnNext")),
                  Action == TNextAction::Stay)
            << "an error before the inherited Next keeps the reaction from running";
        EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Поиск (1/3)"));
    }
    EXPECT_EQ(ErrorTexts(), QStringList({QStringLiteral("Устройство не найдено")}))
        << "one box for the error, none for the silent abort or GoNext";
    EXPECT_EQ(Prompts.Shown.back().Icon, TPromptIcon::Error);
}

TEST_F(Wizard, StepsListJumpsWithoutAskingThePage) {
    Choose(0, 0);
    Script().Calls.clear();
    const int Starts = Script().Starts;
    auto *Steps = Child<QListWidget>("lvSteps");
    QTest::mouseClick(Steps->viewport(), Qt::LeftButton, {},
                      Steps->visualItemRect(Steps->item(2)).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Header().endsWith(QStringLiteral("(3/3)")); }, 2000));
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Отчёт (3/3)"));
    EXPECT_FALSE(Script().Calls.contains(QStringLiteral("Поиск.QueryNext")));
    EXPECT_FALSE(Script().Calls.contains(QStringLiteral("Поиск.Next")));
    EXPECT_EQ(Script().Starts, Starts + 1);
    EXPECT_EQ(Steps->currentRow(), 2);
}

TEST_F(Wizard, HomeAsksFirstAndCancelsThePage) {
    Choose(0, 0);
    Next();
    auto *Home = Child<QToolButton>("btnHome");
    ASSERT_TRUE(Home->isEnabled());
    Script().Calls.clear();
    Prompts.Answer(false);
    Home->click();
    EXPECT_EQ(Prompts.Shown.back().Text, QStringLiteral("Вернуться в начало?"));
    EXPECT_EQ(Prompts.Shown.back().Title, QStringLiteral("Внимание!"));
    EXPECT_TRUE(Script().Calls.isEmpty());
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Проверка состояния ПТК (2/3)"));

    Prompts.Answer(true);
    Home->click();
    EXPECT_EQ(Script().Calls.value(0), QStringLiteral("Проверка состояния ПТК.Cancel"));
    EXPECT_TRUE(OnSelectionPage());
    EXPECT_FALSE(Home->isEnabled());
    EXPECT_EQ(Window->windowTitle(), Caption);
}

TEST_F(Wizard, ExitAsksAndCancelsTheRunningPage) {
    Choose(0, 0);
    Script().Calls.clear();
    Prompts.Answer(false);
    Child<QToolButton>("btnExit")->click();
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Script().Calls.isEmpty());
    EXPECT_EQ(Prompts.Shown.back().Title, QStringLiteral("Выход из приложения"));
    EXPECT_EQ(Prompts.Shown.back().Text, QStringLiteral("Вы действительно хотите выйти?"));

    Prompts.Answer(true);
    Child<QToolButton>("btnExit")->click();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Script().Calls, QStringList({QStringLiteral("Поиск.Cancel")}));
}

TEST_F(Wizard, TaskNotBuiltYetStaysOnTheSelection) {
    // Nothing stands in for the RNDIS task.
    Choose(15, 0);
    ASSERT_EQ(ErrorTexts().size(), 1);
    EXPECT_FALSE(ErrorTexts()[0].isEmpty());
    EXPECT_TRUE(OnSelectionPage());
    EXPECT_EQ(Window->windowTitle(), Caption);
}

TEST_F(Wizard, StoredChoiceSelectsTheLastRowWithThatModelNumber) {
    struct Case {
        int Chosen, Selected;
    };
    // Rows 7 and 8 share the number 53, rows 9 and 10 the number 30.
    for (const Case C : {Case{8, 8}, Case{7, 8}, Case{9, 10}, Case{10, 10}}) {
        Devices()->setCurrentRow(C.Chosen);
        Tasks()->setCurrentRow(0);
        Next();
        Restart();
        EXPECT_EQ(Devices()->currentRow(), C.Selected) << "chosen row " << C.Chosen;
        EXPECT_EQ(Tasks()->currentRow(), 0);
    }
}

TEST_F(Wizard, StoredTaskRowOutOfRangeSelectsTheFirstTask) {
    AppParams().SetLastDeviceID(24);
    AppParams().SetLastDeviceTask(3);
    AppParams().Save();
    Restart();
    EXPECT_EQ(Devices()->currentRow(), 0);
    EXPECT_EQ(Tasks()->currentRow(), 0);

    AppParams().SetLastDeviceTask(1);
    AppParams().Save();
    Restart();
    EXPECT_EQ(Tasks()->currentRow(), 1);
    Devices()->setCurrentRow(1);
    EXPECT_EQ(Tasks()->currentRow(), 0) << "another model always starts at its first task";
}

TEST_F(Wizard, DoubleClickBuildsAFreshTaskLikeNext) {
    Choose(0, 0);
    QPointer<TPage> FirstPage = UIController().Page();
    Prompts.Answer(true);
    Child<QToolButton>("btnHome")->click();
    Devices()->setCurrentRow(0);
    Tasks()->setCurrentRow(0);
    const QPoint Row = Tasks()->visualItemRect(Tasks()->item(0)).center();
    QTest::mouseClick(Tasks()->viewport(), Qt::LeftButton, {}, Row);
    QTest::mouseDClick(Tasks()->viewport(), Qt::LeftButton, {}, Row);
    EXPECT_EQ(Header(), QStringLiteral("Проверка ПТК: Поиск (1/3)"));
    EXPECT_TRUE(FirstPage.isNull()) << "the previous task's pages were not freed";
    EXPECT_NE(UIController().Page(), nullptr);
}

TEST_F(Wizard, InformationLinkNextActsLikeTheNextButton) {
    Choose(13, 0);
    EXPECT_EQ(Header(), QStringLiteral("Проверка УМ: Подключение (1/2)"));
    auto *Html = Window->findChild<TInformationBrowser *>(QStringLiteral("Html"));
    ASSERT_NE(Html, nullptr);
    Q_EMIT Html->anchorClicked(QUrl(QStringLiteral("next")));
    EXPECT_EQ(Header(), QStringLiteral("Проверка УМ: Подключение (1/2)"));
    Q_EMIT Html->anchorClicked(QUrl(QStringLiteral("Next")));
    EXPECT_EQ(Header(), QStringLiteral("Проверка УМ: Проверка (2/2)"));
    EXPECT_TRUE(Script().Calls.contains(QStringLiteral("Подключение.OnNext")));
}

TEST_F(Wizard, ExitWhileWorkRunsStopsItOnlyOnYes) {
    Choose(12, 0);
    const auto Work = TProgressTask::Work();
    ASSERT_TRUE(WaitUntil([&] { return Work->State().IsRunning(); }));
    EXPECT_FALSE(Child<QPushButton>("btnNext")->isEnabled());
    Prompts.Answer(false);
    Child<QToolButton>("btnExit")->click();
    EXPECT_TRUE(Work->State().IsRunning()) << "No must leave the work running";
    Prompts.Answer(true);
    Child<QToolButton>("btnExit")->click();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_TRUE(Work->State().Completed()) << "the window closed before the work stopped";
    EXPECT_TRUE(Work->State().UserCancelled());
}

TEST_F(Wizard, DriverPropertiesItemCallsTheDriverAndShowsItsError) {
    auto *Menu = Window->findChild<QMenu *>(QStringLiteral("pmMain"));
    QAction *Properties = Menu->actions().value(0);
    ASSERT_NE(Properties, nullptr);
    EXPECT_EQ(Properties->text(), QStringLiteral("Свойства драйвера ФР..."));
    Child<QToolButton>("btnMenu")->click();
    EXPECT_FALSE(Properties->isEnabled()) << "no driver connected";
    Menu->hide();

    int Calls = 0;
    TfmMain::SetDriverPropertiesHook([&](QWidget *) {
        ++Calls;
        throw Exception(QStringLiteral("-1, Нет связи"));
    });
    Child<QToolButton>("btnMenu")->click();
    ASSERT_TRUE(Properties->isEnabled());
    Properties->trigger();
    Menu->hide();
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(ErrorTexts(), QStringList({QStringLiteral("-1, Нет связи")}));
}
