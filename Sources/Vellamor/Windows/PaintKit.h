#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPainterPath>
#include <QRectF>

namespace vellamor {

// Drawing helpers every window shares. Sizes are logical pixels, font sizes
// included: the designs give them in points of a 72-per-inch grid, which
// are logical pixels here, and the fonts convert them by the screen's DPI.
class PaintKit {
public:
    PaintKit() = delete;

    // The system font at `size` logical pixels.
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
    // The system's fixed-pitch font at `size` logical pixels.
    static QFont monospacedFont(double size, QFont::Weight weight = QFont::Normal);

    static QColor withOpacity(QColor color, double opacity);

    // A rounded rectangle whose corners start curving earlier and end
    // flatter than circular ones, as continuous corners do.
    static QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

    // The standard motion curves: cubic Béziers (0.42, 0, 1, 1), (0, 0,
    // 0.58, 1) and (0.42, 0, 0.58, 1).
    static QEasingCurve easeIn();
    static QEasingCurve easeOut();
    static QEasingCurve easeInOut();
};

} // namespace vellamor
