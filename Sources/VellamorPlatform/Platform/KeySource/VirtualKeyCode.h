#pragma once

#include <cstdint>

namespace vellamor::platform {

// A layout-independent key position, numbered as the stored hotkey format
// numbers them (US key positions: "a" is 0, "space" 49, "f1" 122).
using VirtualKeyCode = std::uint16_t;

namespace virtualKey {
inline constexpr VirtualKeyCode a = 0;
inline constexpr VirtualKeyCode v = 9;
inline constexpr VirtualKeyCode j = 38;
inline constexpr VirtualKeyCode k = 40;
inline constexpr VirtualKeyCode space = 49;
inline constexpr VirtualKeyCode escape = 53;
inline constexpr VirtualKeyCode rightCommand = 54;
inline constexpr VirtualKeyCode command = 55;
inline constexpr VirtualKeyCode shift = 56;
inline constexpr VirtualKeyCode capsLock = 57;
inline constexpr VirtualKeyCode option = 58;
inline constexpr VirtualKeyCode control = 59;
inline constexpr VirtualKeyCode rightShift = 60;
inline constexpr VirtualKeyCode rightOption = 61;
inline constexpr VirtualKeyCode rightControl = 62;
// Insert, in the position of the Help key.
inline constexpr VirtualKeyCode insert = 114;
// Keys this numbering has no code for (keypad, media keys, Num Lock, ...).
inline constexpr VirtualKeyCode unknown = 0xFFFF;
} // namespace virtualKey

} // namespace vellamor::platform
