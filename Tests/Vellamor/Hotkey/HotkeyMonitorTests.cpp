#include "FakeKeySource.h"
#include "HotkeyTestEvents.h"
#include "ManualHotkeyScheduler.h"
#include "WaitUntil.h"

#include "Hotkey/HotkeyError.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Hotkey/MainThreadHotkeyScheduler.h"
#include "Platform/KeySource/X11KeySource.h"

#include <QElapsedTimer>

#include <gmock/gmock.h>

#include <memory>
#include <vector>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

class HotkeyMonitorTest : public ::testing::Test {
protected:
    HotkeyMonitorTest()
    {
        auto source = std::make_unique<FakeKeySource>();
        source_ = source.get();
        auto scheduler = std::make_unique<ManualHotkeyScheduler>();
        scheduler_ = scheduler.get();
        monitor_ = std::make_unique<HotkeyMonitor>(std::move(source), std::move(scheduler),
                                                   VellamorLog(QStringLiteral("com.vellamor.app"),
                                                               QStringLiteral("hotkey"), nullptr, nullptr),
                                                   toggle_);
    }

    HotkeyMonitor::EventHandler recorder()
    {
        return [this](const HotkeyEvent& event) { events_.push_back(event); };
    }

    // Whether the source was told to swallow either event.
    bool tap(int atMs, int lengthMs)
    {
        scheduler_->advanceTo(std::chrono::milliseconds(atMs));
        const bool down = source_->send(heldKeyDown(atMs));
        scheduler_->advanceTo(std::chrono::milliseconds(atMs + lengthMs));
        return source_->send(heldKeyUp(atMs + lengthMs)) || down;
    }

    FakeKeySource* source_ = nullptr;
    ManualHotkeyScheduler* scheduler_ = nullptr;
    // The owner's record of the toggle.
    Published<bool> toggle_{false};
    std::unique_ptr<HotkeyMonitor> monitor_;
    std::vector<HotkeyEvent> events_;
};

TEST_F(HotkeyMonitorTest, GrabsOnlyACombinationWithAKeyAndOnlyItsModifiers)
{
    struct Case {
        const char* name;
        std::optional<ParsedCombo> combo;
        std::optional<platform::KeyGrab> grab;
    };
    const Case cases[] = {
        {"held key", std::nullopt, std::nullopt},
        {"combination: its key and modifiers, unknown bits dropped, the held key asked for",
         ParsedCombo{virtualKey::space, modifierFlag::option | 0x10000, true, {}},
         platform::KeyGrab{virtualKey::space, modifierFlag::option | modifierFlag::fn}},
        {"combination without a key is the held key", ParsedCombo{std::nullopt, modifierFlag::command, true, {}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        monitor_->start(HotkeyMode::toggle, c.combo, nullptr);
        ASSERT_FALSE(source_->grabs().empty());
        EXPECT_EQ(source_->grabs().back(), c.grab);
        EXPECT_EQ(monitor_->customCombo().has_value(), c.grab.has_value());
        monitor_->stop();
    }
}

TEST_F(HotkeyMonitorTest, SecondStartChangesNothing)
{
    monitor_->start(HotkeyMode::hold, std::nullopt, recorder());
    monitor_->start(HotkeyMode::toggle, cmdShiftK, [](const HotkeyEvent&) { ADD_FAILURE() << "second handler"; });

    EXPECT_EQ(source_->startCount(), 1);
    EXPECT_FALSE(monitor_->customCombo());
    EXPECT_FALSE(tap(0, 300));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

TEST_F(HotkeyMonitorTest, RefusedStartThrowsKeepsTheSettingsAndLetsTheNextStartGoAhead)
{
    source_->refuseNextStart(platform::KeySourceError::Kind::grabRefused);
    EXPECT_THROW(monitor_->start(HotkeyMode::toggle, cmdShiftK, recorder()), HotkeyError);
    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_EQ(monitor_->mode(), HotkeyMode::toggle);
    EXPECT_EQ(monitor_->customCombo(), cmdShiftK);

    monitor_->start(HotkeyMode::hold, std::nullopt, recorder());
    EXPECT_TRUE(monitor_->isStarted());
    EXPECT_EQ(source_->startCount(), 2);
}

TEST_F(HotkeyMonitorTest, StopForgetsThePressButKeepsTheToggleState)
{
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder());
    tap(0, 100);
    source_->send(heldKeyDown(300));

    monitor_->stop();
    EXPECT_FALSE(monitor_->isStarted());
    EXPECT_EQ(source_->stopCount(), 1);

    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder());
    tap(600, 100);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(false)));
}

// The owner turns the toggle off when a session closes and on when one opens
// from the menu; the next tap flips what the owner left.
TEST_F(HotkeyMonitorTest, EachTapFlipsTheOwnersToggleAsTheOwnerLeftIt)
{
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder());
    tap(0, 100);
    EXPECT_TRUE(toggle_.value());
    toggle_ = false;
    tap(300, 100);
    toggle_ = true;
    tap(600, 100);
    EXPECT_THAT(events_,
                ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(true), HotkeyEvent::toggled(false)));
    EXPECT_FALSE(toggle_.value());
}

TEST_F(HotkeyMonitorTest, SourceIsToldToSwallowByStateBeforeEvent)
{
    monitor_->start(HotkeyMode::toggle, cmdShiftK, recorder());
    EXPECT_TRUE(source_->send(keyDown(0, virtualKey::k, cmdShift)));
    EXPECT_TRUE(events_.empty());
    // Letting go of shift releases the combination; the answer for this very
    // event still sees it down.
    EXPECT_TRUE(source_->send(modifierUp(10, virtualKey::shift, modifierFlag::command)));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
    EXPECT_FALSE(source_->send(keyUp(20, virtualKey::k, modifierFlag::command)));
    EXPECT_FALSE(source_->send(heldKeyDown(30)));
}

// Only the chords that paste, not a letter typed nor the chord with another modifier.
TEST_F(HotkeyMonitorTest, ThePasteObserverSeesTheUsersPasteChords)
{
    const ModifierFlags control = modifierFlag::control;
    const ModifierFlags shift = modifierFlag::shift;
    struct Case {
        KeyEvent event;
        bool paste;
    };
    const Case cases[] = {
        {keyDown(0, virtualKey::v, control), true},
        {keyDown(0, virtualKey::v, control | shift), true},
        {keyDown(0, virtualKey::insert, shift), true},
        {keyDown(0, virtualKey::v), false},
        {keyUp(0, virtualKey::v, control), false},
        {keyDown(0, virtualKey::v, control | modifierFlag::option), false},
        {keyDown(0, virtualKey::insert), false},
        {keyDown(0, virtualKey::insert, control), false},
    };
    int pastes = 0;
    monitor_->setPasteObserver([&] { ++pastes; });
    monitor_->start(HotkeyMode::toggle, std::nullopt, recorder());
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.event.keyCode << " " << c.event.flags);
        const int before = pastes;
        source_->send(c.event);
        EXPECT_EQ(pastes - before, c.paste ? 1 : 0);
    }
}

TEST_F(HotkeyMonitorTest, HandlerMayStopMonitor)
{
    // A capture that puts the handler on the heap, where running on in a
    // destroyed handler shows.
    auto seen = std::make_shared<std::vector<HotkeyEvent>>();
    monitor_->start(HotkeyMode::toggle, std::nullopt, [this, seen](const HotkeyEvent& event) {
        monitor_->stop();
        seen->push_back(event);
    });
    tap(0, 100);
    EXPECT_THAT(*seen, ElementsAre(HotkeyEvent::toggled(true)));
    EXPECT_FALSE(source_->isStarted());
}

TEST(HotkeyMonitorTimers, LongPressCheckRunsOnEventLoop)
{
    auto source = std::make_unique<FakeKeySource>();
    FakeKeySource* fake = source.get();
    Published<bool> toggle{false};
    HotkeyMonitor monitor(std::move(source), std::make_unique<MainThreadHotkeyScheduler>(),
                          VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey"), nullptr, nullptr),
                          toggle);
    std::vector<HotkeyEvent> events;
    monitor.start(HotkeyMode::hold, std::nullopt, [&](const HotkeyEvent& event) { events.push_back(event); });
    QElapsedTimer sinceDown;
    sinceDown.start();
    fake->send(heldKeyDown(0));
    EXPECT_TRUE(events.empty());
    ASSERT_TRUE(waitUntil([&] { return !events.empty(); }));
    EXPECT_GE(sinceDown.elapsed(), 100) << "a timer's wait, not the next turn";
    fake->send(heldKeyUp(400));
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

TEST(X11KeySource, UnreachableDisplayFailsStartAndLeavesNothingInstalled)
{
    platform::X11KeySource source(QStringLiteral(":4242"));
    try {
        source.start(std::nullopt, [](const KeyEvent&) { return false; });
        ADD_FAILURE() << "started without a display";
    } catch (const platform::KeySourceError& error) {
        EXPECT_EQ(error.kind(), platform::KeySourceError::Kind::displayUnavailable);
    }
    EXPECT_FALSE(source.isStarted());
}

} // namespace
} // namespace vellamor::test
