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

    // A symbol per state in a colour of its own, outlined so it reads on
    // light and dark panels alike, 22 px square; the badge sits inside its
    // top right corner. Null when the symbol cannot be drawn.
    static QIcon icon(MenuBarIconState state, bool badged);
    static QString toolTip(MenuBarIconState state);

private:
    static QString symbolResource(MenuBarIconState state);
    // Null when the symbol cannot be drawn.
    static QImage draw(const QString& resource, MenuBarIconState state, bool badged, int scale);
};

} // namespace vellamor
