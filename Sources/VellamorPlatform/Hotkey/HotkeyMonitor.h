#pragma once

#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/HotkeyMode.h"
#include "Hotkey/HotkeyScheduler.h"
#include "Hotkey/HotkeyStateMachine.h"
#include "Hotkey/ParsedCombo.h"
#include "Logging/VellamorLog.h"
#include "Platform/KeySource/KeySource.h"

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Turns the global dictation hotkey into HotkeyEvent values for one callback:
// the held key alone (Right Ctrl) or a custom combination, which other
// applications then never see. Main thread only.
class HotkeyMonitor {
public:
    using EventHandler = HotkeyStateMachine::EventHandler;

    static constexpr int longPressThresholdMs = HotkeyStateMachine::longPressThresholdMs;

    // Observes the session through `keySource`; logs to "com.vellamor.app"/"hotkey".
    // Toggle mode flips `toggle`, the owner's record, which outlives the monitor.
    HotkeyMonitor(std::unique_ptr<platform::KeySource> keySource, Published<bool>& toggle);
    HotkeyMonitor(std::unique_ptr<platform::KeySource> keySource, std::unique_ptr<HotkeyScheduler> scheduler,
                  VellamorLog log, Published<bool>& toggle);
    ~HotkeyMonitor();

    HotkeyMonitor(const HotkeyMonitor&) = delete;
    HotkeyMonitor& operator=(const HotkeyMonitor&) = delete;

    // Does nothing at all while started. Otherwise takes the mode and the
    // handler, then the combination (only one with a key code counts), then
    // starts the key source. Throws HotkeyError::tapCreationFailed when the
    // source cannot start; mode, handler and combination stay set then.
    void start(HotkeyMode mode, const std::optional<ParsedCombo>& customCombo, EventHandler onEvent);

    // Stops the key source, forgets the handler, the combination and any
    // press; keeps the mode. Safe when not started.
    void stop();

    bool isStarted() const { return started_; }
    HotkeyMode mode() const { return machine_->mode(); }
    const std::optional<ParsedCombo>& customCombo() const { return machine_->customCombo(); }

    // Told of the held key's presses as they happen, before the hold and
    // tap rules decide; survives stop() and start().
    void setPressObserver(HotkeyStateMachine::PressObserver observer)
    {
        machine_->setPressObserver(std::move(observer));
    }

    // Told when the user presses a paste chord (Ctrl+V, Ctrl+Shift+V,
    // Shift+Insert) anywhere, while started; survives stop() and start().
    void setPasteObserver(std::function<void()> observer) { onPaste_ = std::move(observer); }

    // Set by the text inserter around its own synthetic keystrokes, so they
    // are not taken for the user's keys. Safe from any thread.
    void setIgnoringSyntheticInput(bool ignoring);

    const HotkeyStateMachine& stateMachine() const { return *machine_; }

private:
    bool deliver(const platform::KeyEvent& event);

    VellamorLog log_;
    std::unique_ptr<HotkeyScheduler> scheduler_;
    std::unique_ptr<HotkeyStateMachine> machine_;
    std::unique_ptr<platform::KeySource> keySource_;
    std::function<void()> onPaste_;
    bool started_ = false;
};

} // namespace vellamor
