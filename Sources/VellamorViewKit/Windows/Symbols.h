#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

namespace vellamor {

// The symbols windows draw, by their design names ("gearshape", "mic",
// "checkmark.circle.fill", …): one-colour SVGs under Resources/Symbols,
// tinted when drawn. The one place a window gets an icon from.
class Symbols {
public:
    Symbols() = delete;

    static bool exists(const QString& name);

    // Fills `rect` with the symbol in `color`; draws nothing for an unknown name.
    static void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

    // The symbol `size` logical pixels square, sharp at the screen's scale;
    // null for an unknown name.
    static QPixmap pixmap(const QString& name, double size, const QColor& color);
};

} // namespace vellamor
