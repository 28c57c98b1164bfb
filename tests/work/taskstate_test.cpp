#include "core/errors.h"
#include "tests/support/printers.h"
#include "work/taskstate.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A task state on a clock the test moves by hand.
struct ManualClockState : ::testing::Test {
    ManualClockState() {
        State.SetTickSource([this] { return Tick; });
    }
    std::uint32_t Tick = 5000;
    TTaskState State;
};

} // namespace

TEST_F(ManualClockState, PercentsTruncateAndNeverDivideByZero) {
    struct Case {
        int Count, Done, Percents;
    };
    for (const Case &C : {Case{0, 0, 0}, Case{0, 5, 0}, Case{-1, 1, 0}, Case{3, 1, 33},
                          Case{3, 2, 66}, Case{3, 3, 100}, Case{1000, 999, 99}}) {
        State.Start(C.Count);
        State.UpdateItemNumber(C.Done);
        EXPECT_EQ(State.Percents(), C.Percents) << C.Done << " of " << C.Count;
    }
}

TEST_F(ManualClockState, RemainingTimeAssumesConstantSpeed) {
    State.Start(4);
    Tick += 1000;
    EXPECT_EQ(State.TimeRemain(), 0ms) << "no step done yet";
    State.StepProgress(1);
    EXPECT_EQ(State.TimeRemain(), 3000ms);
    EXPECT_EQ(State.TimeElapsed(), 1000ms);
    State.StepProgress(2);
    Tick += 2000;
    EXPECT_EQ(State.TimeRemain(), 1000ms);
    State.StepProgress(5);
    EXPECT_EQ(State.TimeRemain(), 0ms) << "more steps than planned leave nothing to wait for";
    State.Success();
    EXPECT_EQ(State.TimeRemain(), 0ms) << "after Stop";
}

TEST_F(ManualClockState, ElapsedTimeSurvivesTickWrap) {
    Tick = 0xFFFFFF00u;
    State.Start(1);
    Tick = 0x100u;
    EXPECT_EQ(State.TimeElapsed(), 512ms);
}

TEST_F(ManualClockState, DataSpeedWaitsForTheFirstSecond) {
    State.Start(1);
    Tick += 999;
    State.UpdateDataSize(4000);
    EXPECT_EQ(State.DataSpeed(), 0);
    Tick += 1001;
    State.UpdateDataSize(2000);
    EXPECT_EQ(State.DataSpeed(), 3000);
}

TEST(TaskState, StopFlagLifecycle) {
    TTaskState State;
    State.UserCancel();
    State.Reset();
    EXPECT_NO_THROW(State.CheckStopFlag()) << "Reset clears the flag of the last stop";

    State.SetText(QStringLiteral("Запись"));
    State.SetSuccessText(QStringLiteral("<b>ok</b>"));
    State.Start(3);
    EXPECT_TRUE(State.IsRunning());
    EXPECT_FALSE(State.Completed());
    EXPECT_EQ(State.Text(), QStringLiteral("Запись")) << "Start keeps the texts";
    EXPECT_EQ(State.SuccessText(), QStringLiteral("<b>ok</b>"));
    EXPECT_NO_THROW(State.CheckStopFlag());

    State.UserCancel();
    EXPECT_TRUE(State.UserCancelled());
    EXPECT_TRUE(State.Completed());
    EXPECT_FALSE(State.Succeeded());
    EXPECT_FALSE(State.IsRunning());
    EXPECT_EQ(State.Text(), QStringLiteral("Операция отменена"));
    EXPECT_EQ(State.FailedInfo(), QStringLiteral("Операция отменена пользователем"));
    try {
        State.CheckStopFlag();
        ADD_FAILURE() << "CheckStopFlag did not raise after UserCancel";
    } catch (const EAbort &E) {
        EXPECT_EQ(E.Message(), QStringLiteral("Операция отменена"));
    }

    State.Start(3);
    EXPECT_FALSE(State.UserCancelled());
    EXPECT_EQ(State.FailedInfo(), QString());
    State.Stop(QStringLiteral("Операция выполнена успешно"), true);
    EXPECT_TRUE(State.Succeeded());
    EXPECT_EQ(State.FailedInfo(), QString()) << "success leaves the failure text alone";

    State.Start(3);
    State.Fail(QStringLiteral("Нет ответа"));
    EXPECT_EQ(State.Text(), QStringLiteral("Ошибка"));
    EXPECT_EQ(State.FailedInfo(), QStringLiteral("Нет ответа"));
    EXPECT_THROW(State.CheckStopFlag(), EAbort);
}
