#include "Windows/Keycap.h"

#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

Keycap::Keycap(const QString& label, QWidget* parent)
    : QLabel(label, parent)
{
    setFont(WindowTheme::monospacedFont(12, QFont::DemiBold));
    setContentsMargins(9, 4, 9, 4);
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Keycap::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF cap = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        const QPainterPath shape = PaintKit::continuousRoundedRect(cap, 5);
        painter.fillPath(shape, QColor::fromRgbF(0, 0, 0, 0.08f));
        painter.strokePath(shape, QPen(PaintKit::withOpacity(WindowTheme::secondary(), 0.25), 0.5));
    }
    QLabel::paintEvent(event);
}

} // namespace vellamor
