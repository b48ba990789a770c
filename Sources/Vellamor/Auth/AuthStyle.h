#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPalette;

namespace vellamor {

// The colours and fonts of the sign-in sheet and the account card, in one
// place. Colours that have a palette role follow the palette (light and
// dark alike); sizes are logical pixels, which the display scales.
namespace AuthStyle {

// Text sizes.
constexpr int titleSize = 17;
constexpr int calloutSize = 12;
constexpr int captionSize = 10;

QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

QColor accent(const QPalette& palette);
QColor secondary(const QPalette& palette);

// A tab of the sheet's tab bar, selected or not.
QString tabStyleSheet(const QPalette& palette, bool selected);
// A button drawn as a link.
QString linkStyleSheet(const QPalette& palette);

} // namespace AuthStyle

} // namespace vellamor
