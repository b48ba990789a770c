#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPainterPath>
#include <QRectF>

class QPainter;

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

    // Text typed elsewhere may hold line breaks; a painted row shows one
    // line, each break a blank.
    static QString oneLine(const QString& text);
    // That line cut short with an ellipsis to fit `width` in `font`.
    static QString elidedLine(const QString& text, const QFont& font, double width);

    // A rounded rectangle whose corners start curving earlier and end
    // flatter than circular ones, as continuous corners do.
    static QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

    // A soft shadow under the continuous rounded rectangle `rect`: `spread`
    // widening rings of black, fading outwards, whose strengths add up to
    // `opacity`, moved by `offset`.
    static void paintSoftShadow(QPainter& painter, const QRectF& rect, double radius, double opacity, int spread,
                                QPointF offset);

    // The standard motion curves: cubic Béziers (0.42, 0, 1, 1), (0, 0,
    // 0.58, 1) and (0.42, 0, 0.58, 1).
    static QEasingCurve easeIn();
    static QEasingCurve easeOut();
    static QEasingCurve easeInOut();
};

} // namespace vellamor
