#pragma once

#include "Platform/KeySource/ModifierFlags.h"
#include "Platform/KeySource/VirtualKeyCode.h"

#include <QString>

#include <optional>

namespace vellamor {

// A custom hotkey combination as read from the preferences' hotkey text.
struct ParsedCombo {
    // None only for the held key alone ("fn").
    std::optional<platform::VirtualKeyCode> keyCode;
    // Of these only shift, control, option and command count.
    platform::ModifierFlags modifiers = 0;
    // The held key (Right Ctrl) must be down too.
    bool fn = false;
    // The main key's name as written ("space"); not used for matching.
    std::optional<QString> mainName;

    friend bool operator==(const ParsedCombo&, const ParsedCombo&) = default;
};

} // namespace vellamor
