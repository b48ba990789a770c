#include "ManualSteadyClock.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "App/AppContainerDependencies.h"
#include "App/SessionStateViewModel.h"

#include <gmock/gmock.h>

#include <memory>
#include <vector>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The limits wait on a clock the test moves.
class SessionStateViewModelTest : public ::testing::Test {
protected:
    // A cancelled limit ends on the loop's next turn; let it, so its
    // coroutine frame is freed before the test ends.
    void TearDown() override { afterQueuedCalls(); }

    std::unique_ptr<SessionStateViewModel> makeModel(std::chrono::nanoseconds soft, std::chrono::nanoseconds hard)
    {
        auto model = std::make_unique<SessionStateViewModel>(soft, hard,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm"), nullptr, nullptr),
            clock_.sleeper());
        model->onSoftTimeout = [this] { ++softTimeouts_; };
        model->onHardTimeout = [this] { ++hardTimeouts_; };
        return model;
    }

    // Moves the clock and lets the limits it woke run: each resumes on the
    // next turn.
    void advance(std::chrono::milliseconds by)
    {
        clock_.advance(by);
        afterQueuedCalls();
    }

    ManualSteadyClock clock_;
    int softTimeouts_ = 0;
    int hardTimeouts_ = 0;
};

TEST_F(SessionStateViewModelTest, TheApplicationsLimitsWarnAtFiveMinutesAndStopAtSixBothFromArming)
{
    const AppContainerDependencies::SessionLimits limits;
    auto model = makeModel(limits.soft, limits.hard);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    model->hotkeyToggle = true;
    int notices = 0;
    Subscription busy = model->sessionBusy.subscribe([&](bool) { ++notices; });
    Subscription status = model->isRecordingFromStatus.subscribe([&](bool) { ++notices; });
    notices = 0;
    std::vector<bool> statusAtStop;
    model->onHardTimeout = [&] {
        ++hardTimeouts_;
        statusAtStop.push_back(model->isRecordingFromStatus.value());
    };
    model->armTimeoutWatchdog();

    advance(299'999ms);
    EXPECT_EQ(softTimeouts_, 0);
    advance(1ms);
    EXPECT_EQ(softTimeouts_, 1);
    EXPECT_EQ(notices, 0);
    advance(59'999ms);
    EXPECT_EQ(hardTimeouts_, 0) << "the hard limit counts from arming, not from the warning";
    advance(1ms);
    EXPECT_EQ(hardTimeouts_, 1);
    // The forced stop clears the menu's recording mark first and leaves
    // closing the session to finishSession().
    EXPECT_THAT(statusAtStop, ElementsAre(false));
    EXPECT_TRUE(model->sessionBusy.value());
    EXPECT_TRUE(model->hotkeyToggle.value());
}

TEST_F(SessionStateViewModelTest, ArmingTwiceLeavesOnePairFromTheSecondArming)
{
    auto model = makeModel(100ms, 150ms);
    model->armTimeoutWatchdog();
    advance(60ms);
    model->armTimeoutWatchdog();
    advance(99ms);
    EXPECT_EQ(softTimeouts_, 0);
    advance(1ms);
    EXPECT_EQ(softTimeouts_, 1);
    advance(50ms);
    EXPECT_EQ(hardTimeouts_, 1);
    advance(1s);
    EXPECT_EQ(softTimeouts_, 1);
    EXPECT_EQ(hardTimeouts_, 1);
}

TEST_F(SessionStateViewModelTest, DisarmWinsOverLimitWhoseTimeHasComeButHasNotRun)
{
    auto model = makeModel(10ms, 10ms);
    model->sessionBusy = true;
    model->onSoftTimeout = [&] {
        ++softTimeouts_;
        model->disarmTimeoutWatchdog();
    };
    model->armTimeoutWatchdog();
    // Both limits wake together, so the hard one's step is queued before
    // the soft one's step disarms.
    advance(10ms);
    EXPECT_EQ(softTimeouts_, 1);
    EXPECT_EQ(hardTimeouts_, 0);
    EXPECT_FALSE(model->isWatchdogArmed());
    EXPECT_TRUE(model->sessionBusy.value());
}

TEST_F(SessionStateViewModelTest, FinishSessionClosesAndResetsTheHotkeyToggleAlsoWhenIdle)
{
    auto model = makeModel(30ms, 60ms);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    model->hotkeyToggle = true;
    std::vector<bool> busyNotices;
    std::vector<bool> toggles;
    Subscription busy = model->sessionBusy.subscribe([&](bool value) { busyNotices.push_back(value); });
    Subscription toggle = model->hotkeyToggle.subscribe([&](bool value) { toggles.push_back(value); });
    model->armTimeoutWatchdog();

    model->finishSession();
    EXPECT_FALSE(model->sessionBusy.value());
    EXPECT_FALSE(model->isRecordingFromStatus.value());
    EXPECT_FALSE(model->isWatchdogArmed());
    EXPECT_THAT(toggles, ElementsAre(true, false));
    EXPECT_THAT(busyNotices, ElementsAre(true, false));
    model->finishSession();
    EXPECT_THAT(toggles, ElementsAre(true, false, false));

    advance(120ms);
    EXPECT_EQ(softTimeouts_, 0);
    EXPECT_EQ(hardTimeouts_, 0);
}

TEST_F(SessionStateViewModelTest, LimitsOfADestroyedModelPassSilently)
{
    auto model = makeModel(5ms, 10ms);
    model->armTimeoutWatchdog();
    model.reset();
    advance(60ms);
    EXPECT_EQ(softTimeouts_, 0);
    EXPECT_EQ(hardTimeouts_, 0);
}

} // namespace
} // namespace vellamor::test
