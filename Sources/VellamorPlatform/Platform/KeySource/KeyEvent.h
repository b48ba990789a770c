#pragma once

#include "Platform/KeySource/ModifierFlags.h"
#include "Platform/KeySource/VirtualKeyCode.h"

#include <chrono>

namespace vellamor::platform {

// A modifier key going down or up is a `flagsChanged` event; every other key
// gives `keyDown` (repeated while held, if the platform repeats) and `keyUp`.
enum class KeyEventType { keyDown, keyUp, flagsChanged };

// One keyboard event of the whole session, as a key source reports it.
struct KeyEvent {
    KeyEventType type = KeyEventType::keyDown;
    VirtualKeyCode keyCode = virtualKey::unknown;
    // The modifier keys held once this event has taken effect.
    ModifierFlags flags = 0;
    // For `flagsChanged`: the modifier key went down (false: it went up).
    bool modifierDown = false;
    // A monotonic clock of the source's choosing; only differences count.
    std::chrono::milliseconds time{0};

    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

} // namespace vellamor::platform
