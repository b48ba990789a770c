#pragma once

#include "FrontmostApp/DesktopEntry.h"
#include "Platform/ActiveWindow/ActiveWindowReader.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vellamor {

// Names the application of a window the way the scene rules know
// applications. In this order:
//  1. the id the toolkit published: _GTK_APPLICATION_ID, then
//     _KDE_NET_WM_DESKTOP_FILE (a file path there stands for its file's id);
//  2. the installed desktop entry whose StartupWMClass is the window's class
//     or instance (entries shown in menus before helper entries);
//  3. the installed desktop entry whose id is the class or instance, case
//     ignored;
//  4. the window's class, lower-cased.
// None when the window carries none of these.
class FrontmostAppResolver {
public:
    FrontmostAppResolver() = delete;

    // `entries` is asked only when steps 2 and 3 are reached.
    static std::optional<QString> applicationId(const platform::WindowIdentity& window,
                                                const std::function<QList<DesktopEntry>()>& entries);
};

} // namespace vellamor
