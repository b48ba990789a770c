#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>

class QPainter;

namespace vellamor {

// The few symbols the overlay shows, drawn as paths at the size a symbol
// font of `size` pixels would give them.
class OverlayGlyph {
public:
    enum class Symbol { xmark, checkmark, pin, pinFill, stopFill, handTap };

    // Centred in `box`; heavier weights draw thicker strokes.
    static void paint(QPainter& painter, Symbol symbol, const QRectF& box, double size, QFont::Weight weight,
                      const QColor& color);
};

} // namespace vellamor
