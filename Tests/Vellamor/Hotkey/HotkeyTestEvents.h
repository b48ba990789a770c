#pragma once

#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/ParsedCombo.h"
#include "Platform/KeySource/KeyCodeMapping.h"
#include "Platform/KeySource/KeyEvent.h"

#include <chrono>
#include <ostream>

// Builders for the key events the hotkey tests feed, and readable failure
// output for hotkey events.
namespace vellamor::test {

using platform::KeyCodeMapping;
using platform::KeyEvent;
using platform::KeyEventType;
using platform::ModifierFlags;
using platform::VirtualKeyCode;
namespace modifierFlag = platform::modifierFlag;
namespace virtualKey = platform::virtualKey;

inline constexpr ModifierFlags rightCtrlFlags = modifierFlag::control | modifierFlag::fn;
inline constexpr ModifierFlags cmdShift = modifierFlag::command | modifierFlag::shift;

inline const ParsedCombo cmdShiftK{virtualKey::k, cmdShift, false, QStringLiteral("k")};

// Right Ctrl going down or up while `others` are held.
inline KeyEvent heldKeyDown(int ms, ModifierFlags others = 0)
{
    const ModifierFlags flags = others | rightCtrlFlags;
    return {KeyEventType::flagsChanged, KeyCodeMapping::heldKey, flags, true, std::chrono::milliseconds(ms)};
}
inline KeyEvent heldKeyUp(int ms, ModifierFlags others = 0)
{
    return {KeyEventType::flagsChanged, KeyCodeMapping::heldKey, others, false, std::chrono::milliseconds(ms)};
}

// A modifier key going down or up; `flags` are those held afterwards.
inline KeyEvent modifierDown(int ms, VirtualKeyCode code, ModifierFlags flags)
{
    return {KeyEventType::flagsChanged, code, flags, true, std::chrono::milliseconds(ms)};
}
inline KeyEvent modifierUp(int ms, VirtualKeyCode code, ModifierFlags flags)
{
    return {KeyEventType::flagsChanged, code, flags, false, std::chrono::milliseconds(ms)};
}

inline KeyEvent keyDown(int ms, VirtualKeyCode code, ModifierFlags flags = 0)
{
    return {KeyEventType::keyDown, code, flags, false, std::chrono::milliseconds(ms)};
}
inline KeyEvent keyUp(int ms, VirtualKeyCode code, ModifierFlags flags = 0)
{
    return {KeyEventType::keyUp, code, flags, false, std::chrono::milliseconds(ms)};
}

} // namespace vellamor::test

namespace vellamor {
inline void PrintTo(const HotkeyEvent& event, std::ostream* os)
{
    *os << event.description().toStdString();
}
} // namespace vellamor
