#pragma once

#include "Windows/PillTone.h"

#include <QColor>
#include <QFont>
#include <QString>

namespace vellamor {

// The look every window shares (the island keeps its own): colours that
// follow the application's palette, light or dark, and the design's font
// sizes. Read them when painting or on a palette change, never cache them.
class WindowTheme {
public:
    WindowTheme() = delete;

    // The application's palette is a dark one.
    static bool isDark();

    static QColor primary();
    // Explanations, captions, outlines.
    static QColor secondary();
    static QColor accent();
    static QColor windowBackground();
    // The hairline between rows and between a window's parts.
    static QColor divider();
    // The 1 px edge of a window without a frame, drawn over its own ground:
    // it stands out of a window of the same appearance behind it.
    static QColor windowEdge();

    static QColor blue();
    static QColor green();
    static QColor orange();
    static QColor red();
    // Neutral is the secondary colour.
    static QColor tone(PillTone tone);

    // `size` is in the design's points (logical pixels).
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
    static QFont monospacedFont(double size, QFont::Weight weight = QFont::Normal);
    // 17 semibold, 12 and 10.
    static QFont titleFont();
    static QFont calloutFont();
    static QFont captionFont();

    // A button drawn as a link in the accent colour.
    static QString linkStyleSheet();
    // A tab of a small tab bar, tinted while selected.
    static QString tabStyleSheet(bool selected);
};

} // namespace vellamor
