#include "Overlay/OverlayGlyph.h"

#include "Overlay/CheckMarkShape.h"

#include <QPainter>
#include <QPainterPath>

namespace vellamor {

namespace {

double strokeWidth(double size, QFont::Weight weight)
{
    if (weight >= QFont::Bold)
        return size * 0.15;
    if (weight >= QFont::DemiBold)
        return size * 0.125;
    if (weight >= QFont::Medium)
        return size * 0.11;
    return size * 0.095;
}

// Head, body and flange of a pushpin, in a unit square. Both outlines are
// built once: uniting and simplifying them is too costly for every paint.
const QPainterPath& pinOutline()
{
    static const QPainterPath outline = [] {
        QPainterPath head;
        head.addRoundedRect(QRectF(0.28, 0.02, 0.44, 0.14), 0.05, 0.05);
        QPainterPath body;
        body.addPolygon(QPolygonF({QPointF(0.36, 0.14), QPointF(0.64, 0.14), QPointF(0.62, 0.5), QPointF(0.38, 0.5)}));
        QPainterPath flange;
        flange.addRoundedRect(QRectF(0.18, 0.48, 0.64, 0.13), 0.05, 0.05);
        return head.united(body).united(flange).simplified();
    }();
    return outline;
}

const QPainterPath& handOutline()
{
    static const QPainterPath outline = [] {
        QPainterPath finger;
        finger.addRoundedRect(QRectF(0.40, 0.30, 0.20, 0.45), 0.10, 0.10);
        QPainterPath palm;
        palm.addRoundedRect(QRectF(0.26, 0.56, 0.52, 0.42), 0.14, 0.14);
        return finger.united(palm).simplified();
    }();
    return outline;
}

} // namespace

void OverlayGlyph::paint(QPainter& painter, Symbol symbol, const QRectF& box, double size, QFont::Weight weight,
                         const QColor& color)
{
    const double side = size * 0.8;
    const QRectF glyph(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    QTransform unit;
    unit.translate(glyph.x(), glyph.y());
    unit.scale(side, side);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, strokeWidth(size, weight), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
    case Symbol::xmark:
        painter.drawLine(unit.map(QLineF(0.15, 0.15, 0.85, 0.85)));
        painter.drawLine(unit.map(QLineF(0.85, 0.15, 0.15, 0.85)));
        break;
    case Symbol::checkmark:
        painter.drawPath(CheckMarkShape::path(glyph, 1));
        break;
    case Symbol::pin:
    case Symbol::pinFill:
        if (symbol == Symbol::pinFill)
            painter.setBrush(color);
        painter.drawPath(unit.map(pinOutline()));
        painter.drawLine(unit.map(QLineF(0.5, 0.62, 0.5, 0.98)));
        break;
    case Symbol::stopFill: {
        QPainterPath square;
        square.addRoundedRect(QRectF(0.14, 0.14, 0.72, 0.72), 0.16, 0.16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(unit.map(square));
        break;
    }
    case Symbol::handTap: {
        painter.drawPath(unit.map(handOutline()));
        QPainterPath taps;
        taps.arcMoveTo(QRectF(0.28, 0.06, 0.44, 0.44), 35);
        taps.arcTo(QRectF(0.28, 0.06, 0.44, 0.44), 35, 110);
        painter.drawPath(unit.map(taps));
        break;
    }
    }
    painter.restore();
}

} // namespace vellamor
