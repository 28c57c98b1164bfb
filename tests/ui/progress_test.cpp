#include "tests/support/printers.h"
#include "tests/ui/buttonrecorder.h"
#include "tests/ui/scriptedprompts.h"
#include "tests/work/workitemtesting.h"
#include "ui/progress.h"
#include "ui/statusicons.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(TimeToText, FormatsDaysHoursMinutesAndSeconds) {
    struct Case {
        std::chrono::milliseconds Duration;
        const char *Text;
    };
    const Case Cases[] = {
        {0ms, "0 cек."},
        {999ms, "0 cек."},
        {61000ms, "1 мин. 1 cек."},
        {3600000ms, "1 час. 0 cек."},
        {86400000ms + 3600000ms + 60000ms + 1000ms, "1 дн. 1 час. 1 мин. 1 cек."},
        {86400000ms + 5000ms, "1 дн. 5 cек."},
        {4294967295ms, "49 дн. 17 час. 2 мин. 47 cек."},
    };
    for (const Case &C : Cases)
        EXPECT_EQ(TimeToText(C.Duration), QString::fromUtf8(C.Text)) << C.Duration.count();
    EXPECT_EQ(TimeToText(0ms).at(2), QLatin1Char('c')) << "the c of cек. is Latin";
}

namespace {

struct ProgressPage : ::testing::Test {
    ProgressPage() {
        Page.resize(500, 400);
        Page.SetWorkItem(Item);
        Page.SetOnFinished([this](TPage &) { ++Finished; });
    }
    template <class T>
    T *Child(const char *Name) {
        return Page.findChild<T *>(QLatin1String(Name));
    }
    QString ResultText() { return Child<QTextBrowser>("Html")->toPlainText(); }
    bool WaitFinished(int Count = 1) {
        return WaitUntil([&] { return Finished >= Count; });
    }

    TButtonRecorder Buttons;
    TScriptedPrompts Prompts;
    std::shared_ptr<TGateWorkItem> Item = NewWorkItem<TGateWorkItem>(3, true);
    TfmProgress Page;
    int Finished = 0;
};

} // namespace

TEST_F(ProgressPage, UserStartWaitsForTheButtonAndShowsTheResult) {
    Page.SetUserStart(true);
    Page.SetSuccessText(QStringLiteral("<b>Прошивка записана</b>"));
    Item->State().SetSuccessText(QStringLiteral("Версия 2"));
    Page.show();
    Page.Run();
    auto *Start = Child<QPushButton>("btnStart");
    ASSERT_TRUE(Start->isVisible());
    EXPECT_EQ(Start->text(), QStringLiteral("Начать"));
    EXPECT_FALSE(Child<QPushButton>("btnRepeat")->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(Item->Runs, 0) << "the page started by itself";

    Start->click();
    ASSERT_TRUE(WaitUntil([&] { return Item->State().IsRunning(); }));
    EXPECT_FALSE(Buttons.NextEnabled);
    EXPECT_FALSE(Start->isEnabled()) << "the start button stays live while the item runs";
    Start->click();
    Page.UpdateView();
    EXPECT_TRUE(Child<QLabel>("lblInfo")->text().startsWith(QStringLiteral("Осталось примерно: ")));
    EXPECT_TRUE(Child<QToolButton>("btnStop")->isEnabled());

    Item->Open();
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(Item->Runs, 1);
    EXPECT_TRUE(Buttons.NextEnabled);
    EXPECT_EQ(Child<QLabel>("lblInfo")->text(), QString()) << "remaining time after the end";
    EXPECT_EQ(Child<QLabel>("lblPercents")->text(), QStringLiteral("100%"));
    EXPECT_TRUE(Child<QLabel>("imgStatus")->isVisible());
    EXPECT_FALSE(Child<QToolButton>("btnStop")->isEnabled());
    EXPECT_FALSE(Child<QTimer>("Timer")->isActive());
    EXPECT_TRUE(Start->isEnabled());
    EXPECT_EQ(ResultText(),
              QStringLiteral("Операция успешно завершена. Прошивка записана Версия 2"));
}

TEST_F(ProgressPage, FailureShowsTheReasonAndKeepsNextDisabled) {
    Item->Open();
    Item->FailWith(QStringLiteral("Нет ответа от устройства"));
    Page.show();
    Page.Run();
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(ResultText(), QStringLiteral("Ошибка: Нет ответа от устройства Вернитесь в начало"));
    EXPECT_FALSE(Buttons.NextEnabled);
    EXPECT_TRUE(Child<QPushButton>("btnRepeat")->isEnabled());

    Item->FailWith(QString());
    Page.SetRepeatOperation(true);
    Page.hide();
    Page.show();
    EXPECT_TRUE(Child<QPushButton>("btnRepeat")->isVisible());
    Child<QPushButton>("btnRepeat")->click();
    ASSERT_TRUE(WaitFinished(2));
    EXPECT_TRUE(Buttons.NextEnabled) << "a repeat that succeeds allows Next";
}

TEST_F(ProgressPage, StopAsksAndShowsTheCancelTextWithoutErrorPrefix) {
    Page.show();
    Page.Run();
    ASSERT_TRUE(WaitUntil([&] { return Item->State().IsRunning(); }));

    Prompts.Answer(false);
    Child<QToolButton>("btnStop")->click();
    EXPECT_TRUE(Item->State().IsRunning()) << "No must leave the work running";

    Prompts.Answer(true);
    Child<QToolButton>("btnStop")->click();
    EXPECT_EQ(Finished, 1) << "the completion arrives inside the cancel";
    ASSERT_EQ(Prompts.Shown.size(), 2u);
    EXPECT_EQ(Prompts.Shown[1].Title, QStringLiteral("Внимание!"));
    EXPECT_EQ(Prompts.Shown[1].Text, QStringLiteral("Отменить операцию?"));
    EXPECT_EQ(Prompts.Shown[1].Icon, TPromptIcon::Warning);
    EXPECT_EQ(ResultText(), QStringLiteral("Операция отменена"));
    EXPECT_FALSE(Buttons.NextEnabled);
    EXPECT_TRUE(Child<QLabel>("imgStatus")->isVisible());
}

TEST(MultiProgress, NextOnlyOnceEveryItemHasEnded) {
    TButtonRecorder Buttons;
    TfmMultiProgress Page;
    std::vector<std::shared_ptr<TGateWorkItem>> Items;
    for (const char *Port : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) {
        Items.push_back(NewWorkItem<TGateWorkItem>(2, true));
        Items.back()->SetName(QLatin1String(Port));
        Page.WorkList().push_back(Items.back());
    }
    Page.SetName(QStringLiteral("Запись прошивки"));
    Page.show();
    Page.Run();
    auto *Rows = Page.findChild<QTreeWidget *>(QStringLiteral("lvTasks"));
    ASSERT_EQ(Rows->topLevelItemCount(), 3);
    EXPECT_EQ(Rows->topLevelItem(2)->text(1), QStringLiteral("ttyUSB2"));
    EXPECT_FALSE(Buttons.NextEnabled);
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(Items.begin(), Items.end(),
                           [](const auto &Item) { return Item->State().IsRunning(); });
    }));

    Items[0]->FailWith(QStringLiteral("Ошибка записи"));
    Items[0]->Open();
    Items[1]->Open();
    ASSERT_TRUE(
        WaitUntil([&] { return Items[0]->State().Completed() && Items[1]->State().Completed(); }));
    Page.UpdateView();
    EXPECT_FALSE(Buttons.NextEnabled) << "the third item still runs";
    const auto Icon = [&](int Row) {
        return static_cast<TStatusIcon>(Rows->topLevelItem(Row)->data(0, Qt::UserRole + 1).toInt());
    };
    EXPECT_EQ(Icon(0), TStatusIcon::Failure);
    EXPECT_EQ(Icon(1), TStatusIcon::Success);
    EXPECT_EQ(Icon(2), TStatusIcon::Running);
    EXPECT_EQ(Rows->topLevelItem(0)->text(4), QString());
    EXPECT_EQ(Rows->topLevelItem(1)->text(2), QStringLiteral("100%"));
    EXPECT_EQ(Rows->topLevelItem(0)->text(3), QStringLiteral("Ошибка записи"));

    Items[2]->Open();
    ASSERT_TRUE(WaitUntil([&] { return Items[2]->State().Completed(); }));
    Page.UpdateView();
    EXPECT_TRUE(Buttons.NextEnabled);
    EXPECT_EQ(Icon(2), TStatusIcon::Success);
    EXPECT_FALSE(Page.findChild<QTimer *>(QStringLiteral("Timer"))->isActive());
    EXPECT_EQ(Rows->topLevelItemCount(), 3) << "a refresh adds no rows";
}

TEST(MultiProgress, CancelStopsEveryItemAndThePolling) {
    TButtonRecorder Buttons;
    TfmMultiProgress Page;
    auto First = NewWorkItem<TGateWorkItem>(2, true);
    auto Second = NewWorkItem<TGateWorkItem>(2, true);
    Page.WorkList() = {First, Second};
    Page.Run();
    ASSERT_TRUE(
        WaitUntil([&] { return First->State().IsRunning() && Second->State().IsRunning(); }));
    Page.Cancel();
    EXPECT_TRUE(First->State().UserCancelled());
    EXPECT_TRUE(Second->State().UserCancelled());
    EXPECT_TRUE(Buttons.NextEnabled);
    EXPECT_FALSE(Page.findChild<QTimer *>(QStringLiteral("Timer"))->isActive());
}
