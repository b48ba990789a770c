#pragma once

#include <QString>

namespace vellamor {

// What the hotkey monitor hands its owner: in toggle mode the new toggle
// state, in hold mode the hotkey going down and up.
class HotkeyEvent {
public:
    enum class Kind { toggled, pressed, released };

    static HotkeyEvent toggled(bool on) { return HotkeyEvent(Kind::toggled, on); }
    static HotkeyEvent pressed() { return HotkeyEvent(Kind::pressed, false); }
    static HotkeyEvent released() { return HotkeyEvent(Kind::released, false); }

    Kind kind() const { return kind_; }
    // The new toggle state of a `toggled` event; false for the other kinds.
    bool isOn() const { return on_; }

    // "toggled(true)", "pressed", "released".
    QString description() const;

    friend bool operator==(const HotkeyEvent&, const HotkeyEvent&) = default;

private:
    HotkeyEvent(Kind kind, bool on) : kind_(kind), on_(on) {}

    Kind kind_;
    bool on_;
};

} // namespace vellamor
