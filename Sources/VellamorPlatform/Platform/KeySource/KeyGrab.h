#pragma once

#include "Platform/KeySource/ModifierFlags.h"
#include "Platform/KeySource/VirtualKeyCode.h"

namespace vellamor::platform {

// A key with modifiers that the key source must keep from every other
// application while it runs.
struct KeyGrab {
    VirtualKeyCode keyCode = 0;
    // shift, control, option, command; `fn` asks for the held key (on X11 a
    // grab cannot tell Right Ctrl from Left Ctrl, so it grabs with Control).
    ModifierFlags modifiers = 0;

    friend bool operator==(const KeyGrab&, const KeyGrab&) = default;
};

} // namespace vellamor::platform
