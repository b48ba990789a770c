#pragma once

#include "Hotkey/ParsedCombo.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// The stored text of a custom hotkey: lower-case tokens joined by "+", the
// modifiers ("cmd", "option", "shift", "control", "fn") and one key name
// ("space", "k", "f5", …), for example "control+shift+space". "cmd" is
// Super, "option" Alt, and "fn" the held dictation key (Right Ctrl); the
// single token "fn" stands for the held key alone.
class HotkeyCombo {
public:
    HotkeyCombo() = delete;

    // Lenient: any case, the synonyms "command", "alt" and "ctrl", any token
    // order, empty tokens skipped. None when the text names no key or two,
    // names an unknown key, or has modifiers without a key.
    static std::optional<ParsedCombo> parse(const QString& raw);

    // The canonical text: the modifiers among shift, control, option and
    // command (other bits are ignored), then "fn" when `fn`, then the key's
    // name. None for a key code outside the table, or for nothing at all.
    // Without a key code the modifiers are still written ("shift"), which
    // parse() refuses.
    static std::optional<QString> encode(platform::ModifierFlags modifiers, bool fn,
                                         std::optional<platform::VirtualKeyCode> keyCode);

    // One key-cap label per token, in the text's order, named as this
    // desktop's keyboards label them ("Super", "Alt", "Shift", "Ctrl", the
    // held key's name, then the key's label); nothing is checked, reordered
    // or merged.
    static QStringList displayKeycaps(const QString& raw);

    // The label of one key name: "Space", "Esc", "←", …, else upper case.
    static QString prettyKeyLabel(const QString& name);

    // A character key (a letter, digit, sign or the space bar) without any
    // modifier or fn: grabbing it would take that key from every typist.
    static bool swallowsTyping(const ParsedCombo& combo);

    // Why a stored text is not listened to, the held key alone standing in
    // for it: it names a key no keyboard here has, is no single-key
    // combination, or would swallow typing.
    enum class SetAside { unknownKey, notACombination, swallowsTyping };
    // None for a usable text and for the empty one (the held key itself).
    static std::optional<SetAside> setAside(const QString& raw);

    // The virtual key code of a key name; none for names outside the table.
    static std::optional<platform::VirtualKeyCode> keyCode(const QString& name);
    // The name of a virtual key code; none for keys outside the table.
    static std::optional<QString> keyName(platform::VirtualKeyCode code);
};

} // namespace vellamor
