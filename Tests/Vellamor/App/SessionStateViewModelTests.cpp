#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "App/SessionStateViewModel.h"

#include <QElapsedTimer>

#include <gmock/gmock.h>

#include <memory>
#include <thread>
#include <vector>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

class SessionStateViewModelTest : public ::testing::Test {
protected:
    // A cancelled limit ends on the loop's next turn; let it, so its
    // coroutine frame is freed before the test ends.
    void TearDown() override { runEventLoopFor(5ms); }

    std::unique_ptr<SessionStateViewModel> makeModel(std::chrono::nanoseconds soft, std::chrono::nanoseconds hard)
    {
        auto model = std::make_unique<SessionStateViewModel>(
            [this](bool on) { resets_.push_back(on); }, soft, hard,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm"), systemLog_, nullptr));
        model->onSoftTimeout = [this] { softAt_.push_back(clock_.elapsed()); };
        model->onHardTimeout = [this] { hardAt_.push_back(clock_.elapsed()); };
        return model;
    }

    QList<RecordingSystemLog::Entry> logEntries() const { return systemLog_->entries(); }

    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    std::vector<bool> resets_;
    QElapsedTimer clock_;
    std::vector<qint64> softAt_;
    std::vector<qint64> hardAt_;
};

TEST_F(SessionStateViewModelTest, StartsIdleWithGivenLimits)
{
    auto model = makeModel(SessionStateViewModel::defaultSoftTimeout, SessionStateViewModel::defaultHardTimeout);
    EXPECT_TRUE(model->enabled.value());
    EXPECT_FALSE(model->sessionBusy.value());
    EXPECT_FALSE(model->isRecordingFromStatus.value());
    EXPECT_FALSE(model->activeCustomHotkey.value());
    EXPECT_FALSE(model->isWatchdogArmed());
    EXPECT_EQ(model->softTimeoutNanos(), 300'000'000'000u);
    EXPECT_EQ(model->hardTimeoutNanos(), 360'000'000'000u);
}

TEST_F(SessionStateViewModelTest, WarningThenForcedStopBothCountedFromArming)
{
    auto model = makeModel(200ms, 250ms);
    model->sessionBusy = true;
    clock_.start();
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return !hardAt_.empty(); }, 2s));

    ASSERT_EQ(softAt_.size(), 1u);
    EXPECT_GE(softAt_[0], 200);
    EXPECT_GE(hardAt_[0], 250);
    EXPECT_GE(hardAt_[0], softAt_[0]);
    // Chained limits would end at 450 ms.
    EXPECT_LT(hardAt_[0], 420);

    ASSERT_EQ(logEntries().size(), 1);
    EXPECT_EQ(logEntries()[0].level, SystemLogLevel::Default);
    EXPECT_EQ(logEntries()[0].category, QStringLiteral("session-vm"));
    EXPECT_EQ(logEntries()[0].publicPart, QStringLiteral("hard timeout reached, force stop"));
    // The forced stop leaves closing the session to finishSession().
    EXPECT_TRUE(model->sessionBusy.value());
    EXPECT_TRUE(resets_.empty());
}

TEST_F(SessionStateViewModelTest, SoftLimitChangesNoFieldAndLogsNothing)
{
    auto model = makeModel(10ms, 10s);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    int notices = 0;
    Subscription busy = model->sessionBusy.subscribe([&](bool) { ++notices; });
    Subscription status = model->isRecordingFromStatus.subscribe([&](bool) { ++notices; });
    notices = 0;
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return !softAt_.empty(); }, 2s));
    EXPECT_EQ(notices, 0);
    EXPECT_TRUE(logEntries().isEmpty());
    EXPECT_TRUE(model->isRecordingFromStatus.value());
}

TEST_F(SessionStateViewModelTest, HardLimitClearsMenuRecordingBeforeStopButNotBusy)
{
    auto model = makeModel(5ms, 10ms);
    model->sessionBusy = true;
    model->isRecordingFromStatus = true;
    std::vector<bool> statusAtStop;
    model->onHardTimeout = [&] { statusAtStop.push_back(model->isRecordingFromStatus.value()); };
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return !statusAtStop.empty(); }, 2s));
    EXPECT_THAT(statusAtStop, ElementsAre(false));
    EXPECT_TRUE(model->sessionBusy.value());
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

TEST_F(SessionStateViewModelTest, DisarmBeforeLimitsSilencesBothAndKeepsBusy)
{
    auto model = makeModel(50ms, 80ms);
    model->sessionBusy = true;
    model->armTimeoutWatchdog();
    runEventLoopFor(20ms);
    model->disarmTimeoutWatchdog();
    EXPECT_FALSE(model->isWatchdogArmed());
    runEventLoopFor(150ms);
    EXPECT_TRUE(softAt_.empty());
    EXPECT_TRUE(hardAt_.empty());
    EXPECT_TRUE(model->sessionBusy.value());
    EXPECT_TRUE(logEntries().isEmpty());
    // Nothing armed: a second disarm is harmless.
    model->disarmTimeoutWatchdog();
}

TEST_F(SessionStateViewModelTest, DisarmWinsOverLimitWhoseTimeHasComeButHasNotRun)
{
    auto model = makeModel(10ms, 10ms);
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
    EXPECT_TRUE(logEntries().isEmpty());
}

TEST_F(SessionStateViewModelTest, FinishSessionClosesAndResetsHotkeyToggle)
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
    ASSERT_EQ(logEntries().size(), 1);
    EXPECT_EQ(logEntries()[0].level, SystemLogLevel::Info);
    EXPECT_EQ(logEntries()[0].publicPart, QStringLiteral("session closed: busy cleared, hotkey toggle reset"));

    runEventLoopFor(120ms);
    EXPECT_TRUE(softAt_.empty());
    EXPECT_TRUE(hardAt_.empty());
}

TEST_F(SessionStateViewModelTest, FinishSessionOnIdleModelStillResetsAndLogs)
{
    auto model = makeModel(1s, 2s);
    model->finishSession();
    EXPECT_THAT(resets_, ElementsAre(false));
    ASSERT_EQ(logEntries().size(), 1);
    EXPECT_EQ(logEntries()[0].publicPart, QStringLiteral("session closed: busy cleared, hotkey toggle reset"));
}

TEST_F(SessionStateViewModelTest, LimitsPassSilentlyWithoutCallbacksOrModel)
{
    auto model = makeModel(5ms, 10ms);
    model->onSoftTimeout = nullptr;
    model->onHardTimeout = nullptr;
    model->armTimeoutWatchdog();
    ASSERT_TRUE(waitUntil([&] { return logEntries().size() == 1; }, 2s));

    auto doomed = makeModel(5ms, 10ms);
    doomed->armTimeoutWatchdog();
    doomed.reset();
    runEventLoopFor(60ms);
    EXPECT_TRUE(softAt_.empty());
    EXPECT_TRUE(hardAt_.empty());
    EXPECT_EQ(logEntries().size(), 1);
}

} // namespace
} // namespace vellamor::test
