#pragma once

#include <QString>

namespace vellamor {

// What the application id resolution needs of one installed .desktop file.
struct DesktopEntry {
    QString id;             // "org.mozilla.firefox", "kde4-kate" for kde4/kate.desktop
    QString startupWMClass; // StartupWMClass=, empty when absent
    bool noDisplay = false; // NoDisplay=true: a helper entry (URL handler, ...)

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

} // namespace vellamor
