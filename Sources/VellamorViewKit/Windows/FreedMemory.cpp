#include "Windows/FreedMemory.h"

#include <QApplication>
#include <QFont>
#include <QPixmapCache>
#include <QWidget>

#include <malloc.h>

#include <algorithm>

namespace vellamor {

namespace {

// Qt's window for the icon in an XEmbed system tray: visible for as long as
// the icon is, and drawing no text.
bool isTrayIconWindow(const QWidget* window)
{
    return window->inherits("QSystemTrayIconSys");
}

} // namespace

void returnFreedMemory()
{
    // With nothing on screen, the font engines go too: they keep their font
    // files mapped and their glyphs cached, and the next text drawn loads
    // again what it needs (widgets re-resolve their fonts on their own).
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::none_of(windows.cbegin(), windows.cend(),
                     [](const QWidget* window) { return window->isVisible() && !isTrayIconWindow(window); }))
        QFont::cleanup();
    QPixmapCache::clear();
    malloc_trim(0);
}

} // namespace vellamor
