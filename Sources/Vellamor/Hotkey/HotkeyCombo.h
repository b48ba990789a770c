#pragma once

#include "Hotkey/ParsedCombo.h"

#include <QString>

#include <optional>

namespace vellamor {

// The stored text of a custom hotkey: lower-case tokens joined by "+", the
// modifiers ("cmd", "option", "shift", "control", "fn") and one key name
// ("space", "k", "f5", …), for example "control+shift+space". The single
// token "fn" stands for the held key alone.
class HotkeyCombo {
public:
    HotkeyCombo() = delete;

    // Lenient: any case, the synonyms "command", "alt" and "ctrl", any token
    // order, empty tokens skipped. None when the text names no key or two,
    // names an unknown key, or has modifiers without a key.
    static std::optional<ParsedCombo> parse(const QString& raw);

    // The virtual key code of a key name; none for names outside the table.
    static std::optional<platform::VirtualKeyCode> keyCode(const QString& name);
};

} // namespace vellamor
