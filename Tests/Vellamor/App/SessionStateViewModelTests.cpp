#include "QtPrinters.h"
#include "WaitUntil.h"

#include "App/SessionStateViewModel.h"

#include <QElapsedTimer>

#include <gmock/gmock.h>

#include <memory>
#include <thread>
#include <vector>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The limits run on the event loop's timers, scaled down to milliseconds.
class SessionStateViewModelTest : public ::testing::Test {
protected:
    // A cancelled limit ends on the loop's next turn; let it, so its
    // coroutine frame is freed before the test ends.
    void TearDown() override { runEventLoopFor(5ms); }

    std::unique_ptr<SessionStateViewModel> makeModel(std::chrono::nanoseconds soft, std::chrono::nanoseconds hard)
    {
        auto model = std::make_unique<SessionStateViewModel>(
            [this](bool on) { resets_.push_back(on); }, soft, hard,
            VellamorLog(u"com.vellamor.app"_s, u"session-vm"_s, nullptr, nullptr));
        model->onSoftTimeout = [this] { softAt_.push_back(clock_.elapsed()); };
        model->onHardTimeout = [this] { hardAt_.push_back(clock_.elapsed()); };
        return model;
    }

    std::vector<bool> resets_;
    QElapsedTimer clock_;
    std::vector<qint64> softAt_;
    std::vector<qint64> hardAt_;
};

TEST_F(SessionStateViewModelTest, DefaultLimitsWarnAtFiveMinutesAndStopAtSix)
{
    auto model = makeModel(SessionStateViewModel::defaultSoftTimeout, SessionStateViewModel::defaultHardTimeout);
    EXPECT_EQ(model->softTimeoutNanos(), 300'000'000'000u);
    EXPECT_EQ(model->hardTimeoutNanos(), 360'000'000'000u);
}

TEST_F(SessionStateViewModelTest, WarningThenForcedStopBothCountedFromArming)
{
    auto model = makeModel(200ms, 250ms);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    int notices = 0;
    Subscription busy = model->sessionBusy.subscribe([&](bool) { ++notices; });
    Subscription status = model->isRecordingFromStatus.subscribe([&](bool) { ++notices; });
    notices = 0;
    std::vector<bool> statusAtStop;
    model->onSoftTimeout = [&] {
        softAt_.push_back(clock_.elapsed());
        EXPECT_EQ(notices, 0);
    };
    model->onHardTimeout = [&] {
        hardAt_.push_back(clock_.elapsed());
        statusAtStop.push_back(model->isRecordingFromStatus.value());
    };
    clock_.start();
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return !hardAt_.empty(); }, 2s));

    ASSERT_EQ(softAt_.size(), 1u);
    EXPECT_GE(softAt_[0], 200);
    EXPECT_GE(hardAt_[0], 250);
    // Chained limits would end at 450 ms.
    EXPECT_LT(hardAt_[0], 420);
    // The forced stop clears the menu's recording mark first and leaves
    // closing the session to finishSession().
    EXPECT_THAT(statusAtStop, ElementsAre(false));
    EXPECT_TRUE(model->sessionBusy.value());
    EXPECT_TRUE(resets_.empty());
}

TEST_F(SessionStateViewModelTest, ArmingTwiceLeavesOnePairFromTheSecondArming)
{
    auto model = makeModel(100ms, 150ms);
    clock_.start();
    model->armTimeoutWatchdog();
    runEventLoopFor(60ms);
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return !hardAt_.empty(); }, 2s));
    runEventLoopFor(200ms);
    ASSERT_EQ(softAt_.size(), 1u);
    ASSERT_EQ(hardAt_.size(), 1u);
    EXPECT_GE(softAt_[0], 160);
    EXPECT_GE(hardAt_[0], 210);
}

TEST_F(SessionStateViewModelTest, DisarmWinsOverLimitWhoseTimeHasComeButHasNotRun)
{
    auto model = makeModel(10ms, 10ms);
    model->sessionBusy = true;
    model->onSoftTimeout = [&] {
        softAt_.push_back(0);
        model->disarmTimeoutWatchdog();
    };
    model->armTimeoutWatchdog();
    // Both timers expire while the loop is blocked, so both wake-ups are
    // queued before the soft limit's step disarms.
    std::this_thread::sleep_for(40ms);
    runEventLoopFor(100ms);
    EXPECT_EQ(softAt_.size(), 1u);
    EXPECT_TRUE(hardAt_.empty());
    EXPECT_FALSE(model->isWatchdogArmed());
    EXPECT_TRUE(model->sessionBusy.value());
}

TEST_F(SessionStateViewModelTest, FinishSessionClosesAndResetsTheHotkeyToggleAlsoWhenIdle)
{
    auto model = makeModel(30ms, 60ms);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    std::vector<bool> busyNotices;
    Subscription busy = model->sessionBusy.subscribe([&](bool value) { busyNotices.push_back(value); });
    model->armTimeoutWatchdog();

    model->finishSession();
    EXPECT_FALSE(model->sessionBusy.value());
    EXPECT_FALSE(model->isRecordingFromStatus.value());
    EXPECT_FALSE(model->isWatchdogArmed());
    EXPECT_THAT(resets_, ElementsAre(false));
    EXPECT_THAT(busyNotices, ElementsAre(true, false));
    model->finishSession();
    EXPECT_THAT(resets_, ElementsAre(false, false));

    runEventLoopFor(120ms);
    EXPECT_TRUE(softAt_.empty());
    EXPECT_TRUE(hardAt_.empty());
}

TEST_F(SessionStateViewModelTest, LimitsOfADestroyedModelPassSilently)
{
    auto model = makeModel(5ms, 10ms);
    model->armTimeoutWatchdog();
    model.reset();
    runEventLoopFor(60ms);
    EXPECT_TRUE(softAt_.empty());
    EXPECT_TRUE(hardAt_.empty());
}

} // namespace
} // namespace vellamor::test
