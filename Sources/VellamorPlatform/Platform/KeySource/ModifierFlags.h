#pragma once

#include <cstdint>

namespace vellamor::platform {

// A set of modifier keys as bit flags. The values are those of a combination
// stored in the preferences (`ParsedCombo::modifiers`), so stored hotkeys
// and key events compare directly.
using ModifierFlags = std::uint64_t;

namespace modifierFlag {
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
// Alt.
inline constexpr ModifierFlags option = 0x80000;
// Super (the "Windows" key).
inline constexpr ModifierFlags command = 0x100000;
// The held dictation key; Right Ctrl on Linux, where no Fn key reaches the
// window system. Right Ctrl also sets `control`.
inline constexpr ModifierFlags fn = 0x800000;

inline constexpr ModifierFlags combinationModifiers = shift | control | option | command;
} // namespace modifierFlag

} // namespace vellamor::platform
