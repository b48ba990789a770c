#pragma once

#include <QString>

#include <optional>

namespace vellamor::platform {

// The identifying properties of the application window the user works in.
// Empty texts stand for properties the window does not carry.
struct WindowIdentity {
    QString gtkApplicationId; // _GTK_APPLICATION_ID: "org.gnome.Geary"
    QString kdeDesktopFile;   // _KDE_NET_WM_DESKTOP_FILE: "org.kde.kate"
    QString wmClassInstance;  // WM_CLASS, first part: "code"
    QString wmClassName;      // WM_CLASS, second part: "Code"

    friend bool operator==(const WindowIdentity&, const WindowIdentity&) = default;
};

class ActiveWindowReader {
public:
    virtual ~ActiveWindowReader() = default;

    // None when no window is active or the display cannot be asked. Safe
    // from any thread.
    virtual std::optional<WindowIdentity> activeWindow() = 0;
};

} // namespace vellamor::platform
