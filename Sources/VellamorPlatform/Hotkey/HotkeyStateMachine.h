#pragma once

#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/HotkeyMode.h"
#include "Hotkey/HotkeyScheduler.h"
#include "Hotkey/ParsedCombo.h"
#include "Platform/KeySource/KeyEvent.h"
#include "Support/Async/Published.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The hotkey's press state, fed with the session's key events. It knows no
// window system: a key source produces the events, a scheduler runs the
// long-press check. Main thread only.
//
// Without a combination the hotkey is the held key (Right Ctrl, seen as the
// `fn` flag of flags-changed events): in toggle mode a tap shorter than the
// long-press threshold flips the toggle state; in hold mode a press that
// outlives the threshold emits `pressed`, and its release `released`. Right
// Ctrl is also a modifier people combine with other keys, so a press during
// which any other key goes down does nothing (a `pressed` already emitted is
// still followed by `released`).
//
// With a combination, its key going down while its modifiers are held is the
// press; the key going up or a required modifier being let go is the
// release. Hold mode emits `pressed` and `released`; toggle mode flips and
// emits `toggled` on the release.
class HotkeyStateMachine {
public:
    using EventHandler = std::function<void(const HotkeyEvent&)>;
    // The held key's press as it happens, before the hold and tap rules
    // have decided anything: the moments to open the microphone early and
    // to throw away what it gathered.
    enum class PressPhase {
        began,
        // Ended as a tap or a hold that emits nothing, or another key joined
        // it before it became long.
        abandoned,
    };
    using PressObserver = std::function<void(PressPhase)>;

    static constexpr int longPressThresholdMs = 200;

    // `toggle` is the session's record of the toggle, which the machine flips
    // at each toggle and which the owner turns off or on as sessions end and
    // begin; it outlives the machine.
    HotkeyStateMachine(HotkeyScheduler& scheduler, Published<bool>& toggle);
    ~HotkeyStateMachine();

    HotkeyStateMachine(const HotkeyStateMachine&) = delete;
    HotkeyStateMachine& operator=(const HotkeyStateMachine&) = delete;

    // Takes the mode and the handler; keeps the combination only when it has
    // a key code (otherwise the held key is the hotkey).
    void configure(HotkeyMode mode, const std::optional<ParsedCombo>& combo, EventHandler onEvent);

    // Forgets the handler, the combination and any press in progress; keeps
    // the mode.
    void reset();

    // Kept across configure() and reset().
    void setPressObserver(PressObserver observer) { onPress_ = std::move(observer); }

    // Whether the event should be kept from every other application. Decide
    // before handle() sees the event: the answer depends on the state before it.
    bool shouldSuppress(const platform::KeyEvent& event) const;

    void handle(const platform::KeyEvent& event);

    // Every required modifier of `combo` is in `flags` (the held key's flag
    // only when the combination asks for it); extra modifiers do not matter.
    static bool matchesModifiers(platform::ModifierFlags flags, const ParsedCombo& combo);

    HotkeyMode mode() const { return mode_; }
    const std::optional<ParsedCombo>& customCombo() const { return customCombo_; }
    bool hasHandler() const { return static_cast<bool>(onEvent_); }

    bool isFnDown() const { return isFnDown_; }
    std::optional<std::chrono::milliseconds> fnDownAt() const { return fnDownAt_; }
    bool didFirePressed() const { return didFirePressed_; }
    bool isComboDown() const { return isComboDown_; }

private:
    void handleHeldKeyEvent(const platform::KeyEvent& event);
    void handleComboEvent(const platform::KeyEvent& event);
    void releaseCombo();
    void scheduleLongPressCheck();
    void runLongPressCheck(std::uint64_t pressId);
    void flipToggle();
    void deliver(const HotkeyEvent& event);
    void tellPress(PressPhase phase);
    // A press whose outcome leaves nothing to record.
    void abandonPress();

    HotkeyScheduler& scheduler_;
    // Pending long-press checks hold this weakly.
    std::shared_ptr<HotkeyStateMachine*> self_;

    HotkeyMode mode_ = HotkeyMode::hold;
    bool isFnDown_ = false;
    std::optional<std::chrono::milliseconds> fnDownAt_;
    // Tells a check scheduled for an earlier press from the current one, even
    // when two presses carry the same time stamp.
    std::uint64_t pressId_ = 0;
    bool didFirePressed_ = false;
    bool pressCancelled_ = false;
    Published<bool>& toggle_;
    std::optional<ParsedCombo> customCombo_;
    bool isComboDown_ = false;
    EventHandler onEvent_;
    PressObserver onPress_;
    // The observer heard `began` for the current press and nothing since.
    bool pressOpen_ = false;
};

} // namespace vellamor
