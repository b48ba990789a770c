#include "Overlay/CheckMarkShape.h"

#include <QLineF>

#include <algorithm>

namespace vellamor {

QPainterPath CheckMarkShape::path(const QRectF& rect, double progress)
{
    const auto at
        = [&rect](double x, double y) { return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height()); };
    const QLineF shortStroke(at(0.16, 0.52), at(0.42, 0.76));
    const QLineF longStroke(shortStroke.p2(), at(0.84, 0.22));
    const double drawn = std::clamp(progress, 0.0, 1.0) * (shortStroke.length() + longStroke.length());

    QPainterPath path;
    if (drawn <= 0)
        return path;
    path.moveTo(shortStroke.p1());
    if (drawn <= shortStroke.length()) {
        path.lineTo(shortStroke.pointAt(drawn / shortStroke.length()));
        return path;
    }
    path.lineTo(shortStroke.p2());
    path.lineTo(longStroke.pointAt((drawn - shortStroke.length()) / longStroke.length()));
    return path;
}

} // namespace vellamor
