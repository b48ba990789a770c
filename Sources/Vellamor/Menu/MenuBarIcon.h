#pragma once

#include "Menu/MenuBarIconState.h"

#include <QIcon>
#include <QImage>
#include <QString>

namespace vellamor {

// The status item's pictures: one symbol per state, drawn by us and bundled
// as resources, with a green badge while a phone input source is connected.
class MenuBarIcon {
public:
    MenuBarIcon() = delete;

    // The symbol alone, for idle, recording and processing, is a mask the
    // desktop may tint like its own symbols; the warning symbols and every
    // badged picture keep their colours. Null when the symbol cannot be drawn.
    static QIcon icon(MenuBarIconState state, bool badged);
    static QString toolTip(MenuBarIconState state);

private:
    static QString symbolResource(MenuBarIconState state);
    // Null when the symbol cannot be drawn.
    static QImage draw(const QString& resource, bool badged, int scale);
};

} // namespace vellamor
