#include "FakeKeySource.h"
#include "HotkeyTestEvents.h"
#include "ManualHotkeyScheduler.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Hotkey/HotkeyError.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Hotkey/MainThreadHotkeyScheduler.h"

#include <gmock/gmock.h>

#include <memory>
#include <vector>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

const ModifierFlags cmdShift = modifierFlag::command | modifierFlag::shift;

ParsedCombo cmdShiftK()
{
    return ParsedCombo{virtualKey::k, cmdShift, false, QStringLiteral("k")};
}

class HotkeyMonitorTest : public ::testing::Test {
protected:
    HotkeyMonitorTest()
    {
        auto source = std::make_unique<FakeKeySource>();
        source_ = source.get();
        auto scheduler = std::make_unique<ManualHotkeyScheduler>();
        scheduler_ = scheduler.get();
        monitor_ = std::make_unique<HotkeyMonitor>(
            std::move(source), std::move(scheduler),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey"), systemLog_, nullptr));
    }

    HotkeyMonitor::EventHandler recorder(std::vector<HotkeyEvent>& into)
    {
        return [&into](const HotkeyEvent& event) { into.push_back(event); };
    }

    QStringList logLines() const
    {
        QStringList lines;
        for (const auto& entry : systemLog_->entries()) {
            EXPECT_EQ(entry.category, QStringLiteral("hotkey"));
            lines << entry.publicPart;
        }
        return lines;
    }

    void tap(int atMs, int lengthMs)
    {
        scheduler_->advanceTo(std::chrono::milliseconds(atMs));
        source_->send(heldKeyDown(atMs));
        scheduler_->advanceTo(std::chrono::milliseconds(atMs + lengthMs));
        source_->send(heldKeyUp(atMs + lengthMs));
    }

    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    FakeKeySource* source_ = nullptr;
    ManualHotkeyScheduler* scheduler_ = nullptr;
    std::unique_ptr<HotkeyMonitor> monitor_;
};

TEST_F(HotkeyMonitorTest, StartsInHoldModeUntilStarted)
{
    EXPECT_EQ(monitor_->mode(), HotkeyMode::hold);
    EXPECT_FALSE(monitor_->toggleState());
    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_EQ(HotkeyMonitor::longPressThresholdMs, 200);
    EXPECT_EQ(source_->startCount(), 0);
}

TEST_F(HotkeyMonitorTest, HeldKeyStartObservesWithoutGrabAndLogsTheKey)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder(events));

    EXPECT_TRUE(monitor_->isStarted());
    EXPECT_THAT(source_->grabs(), ElementsAre(std::nullopt));
    EXPECT_THAT(logLines(), ElementsAre(QStringLiteral("hotkey tap started mode=toggle key=Right Ctrl")));
    tap(0, 150);
    tap(400, 120);
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(false)));
}

TEST_F(HotkeyMonitorTest, CombinationStartGrabsItAndLogsIt)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::hold, cmdShiftK(), recorder(events));

    EXPECT_THAT(source_->grabs(), ElementsAre(platform::KeyGrab{virtualKey::k, cmdShift}));
    EXPECT_THAT(logLines(), ElementsAre(QStringLiteral("custom hotkey enabled: keyCode=40 modifiers=1179648 fn=false"),
                                        QStringLiteral("hotkey tap started mode=hold key=custom")));
}

TEST_F(HotkeyMonitorTest, FnCombinationGrabAsksForHeldKeyAndDropsOtherBits)
{
    monitor_->start(HotkeyMode::toggle, ParsedCombo{virtualKey::space, modifierFlag::option | 0x10000, true, {}},
                    nullptr);
    EXPECT_THAT(source_->grabs(),
                ElementsAre(platform::KeyGrab{virtualKey::space, modifierFlag::option | modifierFlag::fn}));
    EXPECT_EQ(logLines().value(0), QStringLiteral("custom hotkey enabled: keyCode=49 modifiers=589824 fn=true"));
}

TEST_F(HotkeyMonitorTest, CombinationWithoutKeyCodeUsesHeldKey)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::toggle, ParsedCombo{std::nullopt, 0, true, {}}, recorder(events));
    EXPECT_THAT(source_->grabs(), ElementsAre(std::nullopt));
    EXPECT_FALSE(monitor_->customCombo());
    EXPECT_THAT(logLines(), ElementsAre(QStringLiteral("hotkey tap started mode=toggle key=Right Ctrl")));
    tap(0, 100);
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::toggled(true)));
}

TEST_F(HotkeyMonitorTest, SecondStartChangesNothing)
{
    std::vector<HotkeyEvent> first;
    std::vector<HotkeyEvent> second;
    monitor_->start(HotkeyMode::hold, std::nullopt, recorder(first));
    monitor_->start(HotkeyMode::toggle, cmdShiftK(), recorder(second));

    EXPECT_EQ(monitor_->mode(), HotkeyMode::hold);
    EXPECT_FALSE(monitor_->customCombo());
    EXPECT_EQ(source_->startCount(), 1);
    EXPECT_EQ(logLines().size(), 1);
    tap(0, 300);
    EXPECT_THAT(first, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
    EXPECT_TRUE(second.empty());
}

TEST_F(HotkeyMonitorTest, RefusedStartThrowsAndKeepsModeHandlerAndCombination)
{
    std::vector<HotkeyEvent> events;
    source_->refuseNextStart(platform::KeySourceError::Kind::grabRefused);
    EXPECT_THROW(
        {
            try {
                monitor_->start(HotkeyMode::toggle, cmdShiftK(), recorder(events));
            } catch (const HotkeyError& error) {
                EXPECT_EQ(error, HotkeyError::tapCreationFailed());
                EXPECT_EQ(error.debugDescription(), QStringLiteral("tapCreationFailed"));
                throw;
            }
        },
        HotkeyError);

    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_EQ(monitor_->mode(), HotkeyMode::toggle);
    EXPECT_EQ(monitor_->customCombo(), cmdShiftK());
    EXPECT_TRUE(monitor_->stateMachine().hasHandler());
    EXPECT_THAT(logLines(), ElementsAre(QStringLiteral("custom hotkey enabled: keyCode=40 modifiers=1179648 fn=false"),
                                        QStringLiteral("hotkey key source failed: grabRefused(refused by test)")));

    // Nothing is installed, so the next start goes ahead.
    monitor_->start(HotkeyMode::hold, std::nullopt, recorder(events));
    EXPECT_TRUE(monitor_->isStarted());
    EXPECT_EQ(source_->startCount(), 2);
    EXPECT_EQ(monitor_->mode(), HotkeyMode::hold);
}

TEST_F(HotkeyMonitorTest, StopKeepsModeAndToggleButForgetsTheRest)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder(events));
    tap(0, 100);
    source_->send(heldKeyDown(300));

    monitor_->stop();
    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_EQ(source_->stopCount(), 1);
    EXPECT_EQ(monitor_->mode(), HotkeyMode::toggle);
    EXPECT_TRUE(monitor_->toggleState());
    EXPECT_FALSE(monitor_->stateMachine().isFnDown());
    EXPECT_FALSE(monitor_->stateMachine().hasHandler());
    EXPECT_EQ(logLines().last(), QStringLiteral("hotkey tap stopped"));

    // The toggle state carries over into a new start.
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder(events));
    tap(600, 100);
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(false)));
}

TEST_F(HotkeyMonitorTest, StopWhenNotStartedStillLogs)
{
    monitor_->stop();
    monitor_->stop();
    EXPECT_THAT(logLines(), ElementsAre(QStringLiteral("hotkey tap stopped"), QStringLiteral("hotkey tap stopped")));
}

TEST_F(HotkeyMonitorTest, StopAndStartWithNewCombinationReplacesGrab)
{
    monitor_->start(HotkeyMode::toggle, cmdShiftK(), nullptr);
    monitor_->stop();
    monitor_->start(HotkeyMode::toggle, std::nullopt, nullptr);
    EXPECT_THAT(source_->grabs(), ElementsAre(platform::KeyGrab{virtualKey::k, cmdShift}, std::nullopt));
    EXPECT_FALSE(monitor_->customCombo());
}

TEST_F(HotkeyMonitorTest, SourceIsToldToSwallowByStateBeforeEvent)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::toggle, cmdShiftK(), recorder(events));
    EXPECT_TRUE(source_->send(keyDown(0, virtualKey::k, cmdShift)));
    EXPECT_TRUE(events.empty());
    // Letting go of shift releases the combination; the answer for this very
    // event still sees it down.
    EXPECT_TRUE(source_->send(modifierUp(10, virtualKey::shift, modifierFlag::command)));
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::toggled(true)));
    EXPECT_FALSE(source_->send(keyUp(20, virtualKey::k, modifierFlag::command)));
    EXPECT_FALSE(source_->send(heldKeyDown(30)));
}

TEST_F(HotkeyMonitorTest, HandlerMayStopMonitor)
{
    std::vector<HotkeyEvent> events;
    monitor_->start(HotkeyMode::toggle, std::nullopt, [&](const HotkeyEvent& event) {
        events.push_back(event);
        monitor_->stop();
    });
    tap(0, 100);
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::toggled(true)));
    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_FALSE(source_->isStarted());
}

TEST_F(HotkeyMonitorTest, SyntheticInputFlagReachesSource)
{
    monitor_->setIgnoringSyntheticInput(true);
    EXPECT_TRUE(source_->isIgnoringSyntheticInput());
    monitor_->setIgnoringSyntheticInput(false);
    EXPECT_FALSE(source_->isIgnoringSyntheticInput());
}

TEST(HotkeyMonitorTimers, LongPressCheckRunsOnEventLoop)
{
    auto source = std::make_unique<FakeKeySource>();
    FakeKeySource* fake = source.get();
    HotkeyMonitor monitor(std::move(source), std::make_unique<MainThreadHotkeyScheduler>(),
                          VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey"), nullptr, nullptr));
    std::vector<HotkeyEvent> events;
    monitor.start(HotkeyMode::hold, std::nullopt, [&](const HotkeyEvent& event) { events.push_back(event); });
    fake->send(heldKeyDown(0));
    runEventLoopFor(100ms);
    EXPECT_TRUE(events.empty());
    ASSERT_TRUE(waitUntil([&] { return !events.empty(); }, 1000ms));
    fake->send(heldKeyUp(400));
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

} // namespace
} // namespace vellamor::test
