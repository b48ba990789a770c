#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPainterPath>
#include <QRectF>

#include <chrono>

namespace vellamor {

// The overlay's palette, fonts and motion. The island is always dark (black
// ground, white text), so each colour has one value. Sizes are in logical
// pixels throughout the overlay, font sizes included.
class OverlayTheme {
public:
    static QColor record();
    static QColor polish();
    static QColor success();
    static QColor warn();
    static QColor danger();
    static QColor codeAccent();
    // The second progress segment.
    static QColor transcribeBlue();

    static QColor white(double opacity);
    static QColor black(double opacity);
    static QColor withOpacity(QColor color, double opacity);

    // A rounded rectangle whose corners start curving earlier and end
    // flatter than circular ones, as continuous corners do.
    static QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

    // The system font at `size` logical pixels.
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
    // Monospaced, for clocks whose digits must not shift.
    static QFont monospacedFont(double size);

    // The island's ease-out and ease-in-out motion curves.
    static QEasingCurve easeOut();
    static QEasingCurve easeInOut();
    // A spring with a response of 0.45 s and a damping fraction of 0.72: it
    // overshoots once and settles within springDuration.
    static QEasingCurve spring();
    static constexpr std::chrono::milliseconds springDuration{700};

    // Animated labels redraw at most 30 times a second.
    static constexpr std::chrono::milliseconds timelineInterval{34};
};

} // namespace vellamor
