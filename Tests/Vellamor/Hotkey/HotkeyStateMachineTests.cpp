#include "HotkeyTestEvents.h"
#include "ManualHotkeyScheduler.h"

#include "Hotkey/HotkeyStateMachine.h"

#include <gmock/gmock.h>

#include <memory>
#include <optional>
#include <vector>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

struct Emitted {
    int atMs;
    HotkeyEvent event;

    friend bool operator==(const Emitted&, const Emitted&) = default;
    friend void PrintTo(const Emitted& e, std::ostream* os)
    {
        *os << e.event.description().toStdString() << "@" << e.atMs << "ms";
    }
};

Emitted toggledAt(int ms, bool on) { return {ms, HotkeyEvent::toggled(on)}; }
Emitted pressedAt(int ms) { return {ms, HotkeyEvent::pressed()}; }
Emitted releasedAt(int ms) { return {ms, HotkeyEvent::released()}; }

// Feeds events in time order, moving the manual clock to each event first,
// and records what the machine emits and when.
class Harness {
public:
    Harness() : machine_(std::make_unique<HotkeyStateMachine>(scheduler_, toggle_)) {}

    void configure(HotkeyMode mode, const std::optional<ParsedCombo>& combo = std::nullopt)
    {
        machine_->configure(mode, combo, [this](const HotkeyEvent& event) {
            emitted_.push_back({static_cast<int>(scheduler_.now().count()), event});
        });
    }

    void play(const std::vector<KeyEvent>& events, int endMs)
    {
        for (const auto& event : events) {
            scheduler_.advanceTo(event.time);
            machine_->handle(event);
        }
        scheduler_.advanceTo(std::chrono::milliseconds(endMs));
    }

    HotkeyStateMachine& machine() { return *machine_; }
    ManualHotkeyScheduler& scheduler() { return scheduler_; }
    const std::vector<Emitted>& emitted() const { return emitted_; }
    void destroyMachine() { machine_.reset(); }

private:
    ManualHotkeyScheduler scheduler_;
    Published<bool> toggle_{false};
    std::unique_ptr<HotkeyStateMachine> machine_;
    std::vector<Emitted> emitted_;
};

struct Script {
    const char* name;
    HotkeyMode mode;
    std::optional<ParsedCombo> combo;
    std::vector<KeyEvent> events;
    std::vector<Emitted> expected;
};

const HotkeyMode toggle = HotkeyMode::toggle;
const HotkeyMode hold = HotkeyMode::hold;
const VirtualKeyCode c = 8;
const VirtualKeyCode k = virtualKey::k;
const VirtualKeyCode j = virtualKey::j;

TEST(HotkeyStateMachine, EmitsWhatEachScriptExpects)
{
    const ModifierFlags rc = rightCtrlFlags;
    const ModifierFlags cmd = modifierFlag::command;
    const Script scripts[] = {
        // The held key alone.
        {"NextTapTogglesOff", toggle, {}, {heldKeyDown(0), heldKeyUp(150), heldKeyDown(400), heldKeyUp(550)},
         {toggledAt(150, true), toggledAt(550, false)}},
        {"TapJustUnderThresholdToggles", toggle, {}, {heldKeyDown(0), heldKeyUp(199)}, {toggledAt(199, true)}},
        {"PressOfExactlyThresholdIsLong", toggle, {}, {heldKeyDown(0), heldKeyUp(200)}, {}},
        {"HoldOf250msPressesAtThresholdAndReleases", hold, {}, {heldKeyDown(0), heldKeyUp(250)},
         {pressedAt(200), releasedAt(250)}},
        {"TapOf150msEmitsNothingInHoldMode", hold, {}, {heldKeyDown(0), heldKeyUp(150)}, {}},
        {"StaleCheckOfEarlierPressDoesNothing", hold, {}, {heldKeyDown(0), heldKeyUp(150), heldKeyDown(190),
         heldKeyUp(500)}, {pressedAt(390), releasedAt(500)}},
        {"RepeatedHeldKeyDownDoesNotRestartHold", hold, {}, {heldKeyDown(0), heldKeyDown(150), heldKeyUp(300)},
         {pressedAt(200), releasedAt(300)}},
        {"OtherKeyDuringTapCancelsToggle", toggle, {},
         {heldKeyDown(0), keyDown(50, c, rc), keyUp(80, c, rc), heldKeyUp(120)}, {}},
        {"OtherKeyDuringHoldCancelsPress", hold, {},
         {heldKeyDown(0), keyDown(100, c, rc), keyUp(150, c, rc), heldKeyUp(300)}, {}},
        {"OtherKeyAfterPressStillReleases", hold, {}, {heldKeyDown(0), keyDown(250, c, rc), keyUp(260, c, rc),
         heldKeyUp(400)}, {pressedAt(200), releasedAt(400)}},
        {"ModifierPressedDuringTapCancels", toggle, {}, {heldKeyDown(0),
         modifierDown(50, virtualKey::shift, modifierFlag::shift | rc), modifierUp(80, virtualKey::shift, rc),
         heldKeyUp(120)}, {}},
        {"KeyReleasedDuringTapDoesNotCancel", toggle, {},
         {keyDown(0, c), heldKeyDown(10), keyUp(50, c, rc), heldKeyUp(100)}, {toggledAt(100, true)}},
        {"LeftCtrlHeldAroundTapDoesNotCancel", toggle, {}, {modifierDown(0, virtualKey::control, modifierFlag::control),
         heldKeyDown(0, modifierFlag::control), modifierUp(100, virtualKey::control, rc), heldKeyUp(100)},
         {toggledAt(100, true)}},
        {"CancelledPressDoesNotCarryOver", toggle, {}, {heldKeyDown(0), keyDown(50, c, rc), keyUp(60, c, rc),
         heldKeyUp(100), heldKeyDown(300), heldKeyUp(400)}, {toggledAt(400, true)}},
        {"KeysWithoutHeldKeyDoNothing", toggle, {}, {keyDown(0, c), keyUp(10, c),
         modifierDown(20, virtualKey::shift, modifierFlag::shift), modifierUp(30, virtualKey::shift, 0)}, {}},
        // A combination.
        {"ComboPressAndRelease", hold, cmdShiftK, {modifierDown(0, virtualKey::command, cmd),
         modifierDown(10, virtualKey::shift, cmdShift), keyDown(20, k, cmdShift), keyUp(100, k, cmdShift),
         modifierUp(110, virtualKey::shift, cmd), modifierUp(120, virtualKey::command, 0)},
         {pressedAt(20), releasedAt(100)}},
        {"ReleasingModifierFirstReleases", hold, cmdShiftK, {keyDown(20, k, cmdShift),
         modifierUp(50, virtualKey::shift, cmd), keyUp(80, k, cmd)}, {pressedAt(20), releasedAt(50)}},
        {"ExtraModifiersStillMatch", hold, cmdShiftK, {keyDown(20, k, cmdShift | modifierFlag::option),
         keyUp(60, k, cmdShift | modifierFlag::option)}, {pressedAt(20), releasedAt(60)}},
        {"ToggleModeTogglesOnRelease", toggle, cmdShiftK, {keyDown(20, k, cmdShift), keyUp(100, k, cmdShift),
         keyDown(300, k, cmdShift), keyUp(320, k, cmdShift)}, {toggledAt(100, true), toggledAt(320, false)}},
        {"ToggleModeTogglesWhenModifierLetGo", toggle, cmdShiftK, {keyDown(20, k, cmdShift),
         modifierUp(50, virtualKey::command, modifierFlag::shift), modifierDown(60, virtualKey::command, cmdShift),
         keyUp(80, k, cmdShift)}, {toggledAt(50, true)}},
        {"AutoRepeatWhileHeldEmitsOnce", hold, cmdShiftK, {keyDown(20, k, cmdShift), keyDown(50, k, cmdShift),
         keyDown(80, k, cmdShift), keyUp(100, k, cmdShift)}, {pressedAt(20), releasedAt(100)}},
        {"MissingModifierDoesNotMatch", hold, cmdShiftK, {keyDown(20, k, cmd), keyUp(40, k, cmd)}, {}},
        {"OtherKeyWithModifiersDoesNotMatch", hold, cmdShiftK, {keyDown(20, j, cmdShift), keyUp(40, j, cmdShift)}, {}},
        {"HeldKeyAloneDoesNothingWithCombo", toggle, cmdShiftK, {heldKeyDown(0), heldKeyUp(100)}, {}},
        {"FnComboNeedsRightCtrlNotLeftCtrl", hold, ParsedCombo{k, 0, true, QStringLiteral("k")},
         {keyDown(0, k, modifierFlag::control), keyUp(10, k, modifierFlag::control), keyDown(20, k, rightCtrlFlags),
         keyUp(30, k, rightCtrlFlags)}, {pressedAt(20), releasedAt(30)}},
        {"ComboModifierBitsBeyondTheFourAreIgnored", hold, ParsedCombo{k, cmdShift | 0x10000, false, {}},
         {keyDown(20, k, cmdShift), keyUp(40, k, cmdShift)}, {pressedAt(20), releasedAt(40)}},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        Harness harness;
        harness.configure(script.mode, script.combo);
        harness.play(script.events, 2000);
        EXPECT_THAT(harness.emitted(), ::testing::ElementsAreArray(script.expected));
    }
}

TEST(HotkeyStateMachine, CombinationSuppressionDecidesOnTheStateBeforeTheEvent)
{
    struct Case {
        const char* name;
        std::vector<KeyEvent> before;
        KeyEvent event;
        bool suppressed;
    };
    const ModifierFlags cmd = modifierFlag::command;
    const KeyEvent comboDown = keyDown(0, k, cmdShift);
    const Case cases[] = {
        {"KeyDownWithModifiers", {}, keyDown(0, k, cmdShift), true},
        {"KeyDownWithExtraModifiers", {}, keyDown(0, k, cmdShift | modifierFlag::option | modifierFlag::control), true},
        {"AutoRepeatKeyDownWhileDown", {comboDown}, keyDown(5, k, cmdShift), true},
        {"KeyDownMissingModifier", {}, keyDown(0, k, cmd), false},
        {"OtherKeyDownWithModifiers", {}, keyDown(0, j, cmdShift), false},
        {"KeyUpWithModifiersWhileUp", {keyDown(0, k, 0)}, keyUp(5, k, cmdShift), true},
        {"KeyUpWithoutModifiersWhileDown", {comboDown}, keyUp(5, k, 0), true},
        {"KeyUpWithoutModifiersWhileUp", {}, keyUp(5, k, cmd), false},
        {"OtherKeyUpWhileDown", {comboDown}, keyUp(5, j, cmdShift), false},
        {"ModifierLetGoWhileDown", {comboDown}, modifierUp(5, virtualKey::shift, cmd), true},
        {"ModifierChangeWhileUp", {}, modifierUp(5, virtualKey::shift, cmd), false},
        {"ModifierLetGoAfterRelease", {comboDown, modifierUp(5, virtualKey::shift, cmd)},
         modifierUp(6, virtualKey::command, 0), false},
        {"KeyUpAfterReleaseByModifier", {comboDown, modifierUp(5, virtualKey::shift, cmd)}, keyUp(6, k, cmd), false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        Harness harness;
        harness.configure(HotkeyMode::hold, cmdShiftK);
        harness.play(row.before, 0);
        EXPECT_EQ(harness.machine().shouldSuppress(row.event), row.suppressed);
    }
}

TEST(HotkeyStateMachine, ResetDuringComboLetsTheNextPressThrough)
{
    Harness harness;
    harness.configure(HotkeyMode::hold, cmdShiftK);
    harness.play({keyDown(0, k, cmdShift)}, 10);
    harness.machine().reset();
    EXPECT_FALSE(harness.machine().shouldSuppress(keyUp(20, k, cmdShift)));
    harness.configure(HotkeyMode::hold, cmdShiftK);
    harness.play({keyUp(20, k, cmdShift), keyDown(30, k, cmdShift)}, 40);
    EXPECT_THAT(harness.emitted(), ::testing::ElementsAre(pressedAt(0), pressedAt(30)));
}

TEST(HotkeyStateMachine, CheckPendingAcrossResetDoesNotFireForNewPress)
{
    Harness harness;
    harness.configure(HotkeyMode::hold);
    harness.play({heldKeyDown(0)}, 100);
    harness.machine().reset();
    harness.configure(HotkeyMode::hold);
    harness.play({heldKeyDown(150), heldKeyUp(500)}, 600);
    EXPECT_THAT(harness.emitted(), ::testing::ElementsAre(pressedAt(350), releasedAt(500)));
}

TEST(HotkeyStateMachine, CheckOutlivingMachineDoesNothing)
{
    Harness harness;
    harness.configure(HotkeyMode::hold);
    harness.play({heldKeyDown(0)}, 10);
    ASSERT_EQ(harness.scheduler().pendingCount(), 1u);
    harness.destroyMachine();
    harness.scheduler().advanceTo(500ms);
    EXPECT_TRUE(harness.emitted().empty());
}

} // namespace
} // namespace vellamor::test

namespace vellamor::test {
namespace {

// Each held-key press is told as it begins, and again if it comes to nothing.
TEST(HotkeyStateMachine, TellsEachHeldKeyPressAsItBeginsAndWhenItComesToNothing)
{
    const struct { const char* name; HotkeyMode mode; std::vector<KeyEvent> events; std::vector<int> abandonedAt; }
        scripts[] = {
        {"hold: long press", hold, {heldKeyDown(0), heldKeyUp(400)}, {}},
        {"hold: tap", hold, {heldKeyDown(0), heldKeyUp(150)}, {150}},
        {"hold: another key before the threshold", hold, {heldKeyDown(0), keyDown(50, c), heldKeyUp(300)}, {50}},
        {"toggle: tap", toggle, {heldKeyDown(0), heldKeyUp(150)}, {}},
        {"toggle: long press", toggle, {heldKeyDown(0), heldKeyUp(400)}, {400}},
    };
    for (const auto& script : scripts) {
        SCOPED_TRACE(script.name);
        Harness harness;
        harness.configure(script.mode);
        std::vector<int> began, abandoned; // every press begins at 0
        harness.machine().setPressObserver([&](HotkeyStateMachine::PressPhase phase) {
            const int now = static_cast<int>(harness.scheduler().now().count());
            (phase == HotkeyStateMachine::PressPhase::began ? began : abandoned).push_back(now);
        });
        harness.play(script.events, 1000);
        EXPECT_EQ(began, std::vector<int>{0});
        EXPECT_EQ(abandoned, script.abandonedAt);
    }
}

} // namespace
} // namespace vellamor::test
