#include "TextInsertion/PasteChord.h"

#include "TextInsertion/WindowClassNames.h"

namespace vellamor {

namespace {

constexpr std::array shiftInsertTerminals{"xterm", "uxterm", "koi8rxterm", "rxvt", "urxvt", "urxvt-unicode"};

constexpr std::array controlShiftVTerminals{
    "gnome-terminal", "gnome-terminal-server", "org.gnome.terminal", "kgx", "org.gnome.console",
    "org.gnome.ptyxis", "ptyxis", "konsole", "org.kde.konsole", "yakuake", "xfce4-terminal", "terminator",
    "tilix", "com.gexperts.tilix", "alacritty", "kitty", "lxterminal", "mate-terminal", "qterminal",
    "terminology", "st", "st-256color", "sakura", "guake", "tilda", "wezterm", "org.wezfurlong.wezterm",
    "cool-retro-term", "deepin-terminal", "x-terminal-emulator", "foot", "hyper", "tabby", "blackbox",
    "com.raggesilver.blackbox", "contour", "eterm", "roxterm", "lilyterm", "termite", "io.elementary.terminal",
    "pantheon-terminal"};

} // namespace

PasteChord::Kind PasteChord::forWindowClass(const QStringList& names)
{
    if (isNamedAnyOf(names, shiftInsertTerminals))
        return Kind::shiftInsert;
    if (isNamedAnyOf(names, controlShiftVTerminals))
        return Kind::controlShiftV;
    return Kind::controlV;
}

} // namespace vellamor
