#pragma once

#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/KeyCodeMapping.h"
#include "Hotkey/KeyEvent.h"

#include <chrono>
#include <ostream>

// Builders for the key events the hotkey tests feed, and readable failure
// output for hotkey events.
namespace vellamor::test {

inline constexpr ModifierFlags rightCtrlFlags = modifierFlag::control | modifierFlag::fn;

inline KeyEvent keyAt(int ms, KeyEventType type, VirtualKeyCode code, ModifierFlags flags, bool modifierDown = false)
{
    KeyEvent event;
    event.type = type;
    event.keyCode = code;
    event.flags = flags;
    event.modifierDown = modifierDown;
    event.time = std::chrono::milliseconds(ms);
    return event;
}

// Right Ctrl going down or up while `others` are held.
inline KeyEvent heldKeyDown(int ms, ModifierFlags others = 0)
{
    return keyAt(ms, KeyEventType::flagsChanged, KeyCodeMapping::heldKey, others | rightCtrlFlags, true);
}
inline KeyEvent heldKeyUp(int ms, ModifierFlags others = 0)
{
    return keyAt(ms, KeyEventType::flagsChanged, KeyCodeMapping::heldKey, others, false);
}

// A modifier key going down or up; `flags` are those held afterwards.
inline KeyEvent modifierDown(int ms, VirtualKeyCode code, ModifierFlags flags)
{
    return keyAt(ms, KeyEventType::flagsChanged, code, flags, true);
}
inline KeyEvent modifierUp(int ms, VirtualKeyCode code, ModifierFlags flags)
{
    return keyAt(ms, KeyEventType::flagsChanged, code, flags, false);
}

inline KeyEvent keyDown(int ms, VirtualKeyCode code, ModifierFlags flags = 0)
{
    return keyAt(ms, KeyEventType::keyDown, code, flags);
}
inline KeyEvent keyUp(int ms, VirtualKeyCode code, ModifierFlags flags = 0)
{
    return keyAt(ms, KeyEventType::keyUp, code, flags);
}

} // namespace vellamor::test

namespace vellamor {
inline void PrintTo(const HotkeyEvent& event, std::ostream* os)
{
    *os << event.description().toStdString();
}
} // namespace vellamor
