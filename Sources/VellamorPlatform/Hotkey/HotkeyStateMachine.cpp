#include "Hotkey/HotkeyStateMachine.h"

#include "Platform/KeySource/KeyCodeMapping.h"

namespace vellamor {

using platform::KeyCodeMapping;
using platform::KeyEvent;
using platform::KeyEventType;
using platform::ModifierFlags;
namespace modifierFlag = platform::modifierFlag;

HotkeyStateMachine::HotkeyStateMachine(HotkeyScheduler& scheduler, Published<bool>& toggle)
    : scheduler_(scheduler)
    , self_(std::make_shared<HotkeyStateMachine*>(this))
    , toggle_(toggle)
{
}

HotkeyStateMachine::~HotkeyStateMachine() = default;

void HotkeyStateMachine::configure(HotkeyMode mode, const std::optional<ParsedCombo>& combo, EventHandler onEvent)
{
    mode_ = mode;
    onEvent_ = std::move(onEvent);
    if (combo && combo->keyCode)
        customCombo_ = combo;
    else
        customCombo_.reset();
}

void HotkeyStateMachine::reset()
{
    abandonPress();
    onEvent_ = nullptr;
    isFnDown_ = false;
    didFirePressed_ = false;
    pressCancelled_ = false;
    fnDownAt_.reset();
    ++pressId_;
    customCombo_.reset();
    isComboDown_ = false;
}

bool HotkeyStateMachine::matchesModifiers(ModifierFlags flags, const ParsedCombo& combo)
{
    ModifierFlags required = combo.modifiers & modifierFlag::combinationModifiers;
    if (combo.fn)
        required |= modifierFlag::fn;
    return (flags & required) == required;
}

bool HotkeyStateMachine::shouldSuppress(const KeyEvent& event) const
{
    if (!customCombo_)
        return false;
    const ParsedCombo& combo = *customCombo_;
    const bool isComboKey = event.keyCode == *combo.keyCode;
    switch (event.type) {
    case KeyEventType::keyDown:
        return isComboKey && matchesModifiers(event.flags, combo);
    case KeyEventType::keyUp:
        return isComboKey && (matchesModifiers(event.flags, combo) || isComboDown_);
    case KeyEventType::flagsChanged:
        return isComboDown_;
    }
    return false;
}

void HotkeyStateMachine::handle(const KeyEvent& event)
{
    if (customCombo_)
        handleComboEvent(event);
    else
        handleHeldKeyEvent(event);
}

void HotkeyStateMachine::handleHeldKeyEvent(const KeyEvent& event)
{
    const bool otherKeyWentDown = event.type == KeyEventType::keyDown
        || (event.type == KeyEventType::flagsChanged && event.modifierDown
            && event.keyCode != KeyCodeMapping::heldKey);
    if (isFnDown_ && otherKeyWentDown) {
        pressCancelled_ = true;
        if (!didFirePressed_)
            abandonPress();
    }

    if (event.type != KeyEventType::flagsChanged)
        return;

    if (event.flags & modifierFlag::fn) {
        if (isFnDown_)
            return;
        isFnDown_ = true;
        fnDownAt_ = event.time;
        didFirePressed_ = false;
        pressCancelled_ = false;
        ++pressId_;
        scheduleLongPressCheck();
        if (!customCombo_) {
            pressOpen_ = true;
            tellPress(PressPhase::began);
        }
        return;
    }

    if (!isFnDown_)
        return;
    isFnDown_ = false;
    const std::chrono::milliseconds elapsed = fnDownAt_ ? event.time - *fnDownAt_ : std::chrono::milliseconds(0);
    fnDownAt_.reset();
    const bool wasLong = didFirePressed_;
    const bool cancelled = pressCancelled_;
    didFirePressed_ = false;
    pressCancelled_ = false;

    if (mode_ == HotkeyMode::toggle) {
        if (!cancelled && elapsed < std::chrono::milliseconds(longPressThresholdMs)) {
            pressOpen_ = false;
            flipToggle();
        }
    } else if (wasLong) {
        pressOpen_ = false;
        deliver(HotkeyEvent::released());
    }
    abandonPress();
}

void HotkeyStateMachine::scheduleLongPressCheck()
{
    std::weak_ptr<HotkeyStateMachine*> weak = self_;
    const std::uint64_t pressId = pressId_;
    scheduler_.schedule(std::chrono::milliseconds(longPressThresholdMs), [weak, pressId] {
        if (auto self = weak.lock())
            (*self)->runLongPressCheck(pressId);
    });
}

void HotkeyStateMachine::runLongPressCheck(std::uint64_t pressId)
{
    if (!isFnDown_ || pressId != pressId_ || didFirePressed_ || pressCancelled_)
        return;
    didFirePressed_ = true;
    if (mode_ == HotkeyMode::hold) {
        pressOpen_ = false;
        deliver(HotkeyEvent::pressed());
    }
}

void HotkeyStateMachine::handleComboEvent(const KeyEvent& event)
{
    const ParsedCombo& combo = *customCombo_;
    const bool isComboKey = event.keyCode == *combo.keyCode;
    switch (event.type) {
    case KeyEventType::keyDown:
        if (!isComboDown_ && isComboKey && matchesModifiers(event.flags, combo)) {
            isComboDown_ = true;
            if (mode_ == HotkeyMode::hold)
                deliver(HotkeyEvent::pressed());
        }
        break;
    case KeyEventType::keyUp:
        if (isComboDown_ && isComboKey)
            releaseCombo();
        break;
    case KeyEventType::flagsChanged:
        if (isComboDown_ && !matchesModifiers(event.flags, combo))
            releaseCombo();
        break;
    }
}

void HotkeyStateMachine::releaseCombo()
{
    isComboDown_ = false;
    if (mode_ == HotkeyMode::hold) {
        deliver(HotkeyEvent::released());
    } else {
        flipToggle();
    }
}

void HotkeyStateMachine::flipToggle()
{
    const bool on = !toggle_.value();
    toggle_ = on;
    deliver(HotkeyEvent::toggled(on));
}

void HotkeyStateMachine::tellPress(PressPhase phase)
{
    if (PressObserver observer = onPress_)
        observer(phase);
}

void HotkeyStateMachine::abandonPress()
{
    if (!pressOpen_)
        return;
    pressOpen_ = false;
    tellPress(PressPhase::abandoned);
}

void HotkeyStateMachine::deliver(const HotkeyEvent& event)
{
    // A copy: the handler may stop the monitor, which drops onEvent_.
    if (EventHandler handler = onEvent_)
        handler(event);
}

} // namespace vellamor
