#pragma once

#include "Platform/KeySource/ModifierFlags.h"
#include "Platform/KeySource/VirtualKeyCode.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vellamor::platform {

// Translates between virtual key codes and Linux input event codes (the
// kernel's KEY_* numbers, which the evdev and libinput drivers pass on: an
// X11 key code is the event code plus 8). Both number physical keys, so a
// stored combination means the same key whatever the keyboard layout.
//
// Covers every key a combination can name plus the modifier keys.
class KeyCodeMapping {
public:
    // The dictation key that stands where the stored format says "fn".
    static constexpr VirtualKeyCode heldKey = virtualKey::rightControl;

    static std::optional<std::uint16_t> linuxKeyCode(VirtualKeyCode key);
    // virtualKey::unknown for keys outside the mapping.
    static VirtualKeyCode virtualKeyCode(std::uint16_t linuxKeyCode);

    // The flags a modifier key sets while it is held (Right Ctrl sets both
    // `control` and `fn`); 0 for every other key.
    static ModifierFlags modifierFlags(VirtualKeyCode key);
    static bool isModifier(VirtualKeyCode key) { return modifierFlags(key) != 0; }

    // The held key as the user's keyboard labels it, in the interface
    // language: "右 Ctrl", "Right Ctrl".
    static QString heldKeyName();
};

} // namespace vellamor::platform
