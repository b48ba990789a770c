#pragma once

#include <QPainterPath>
#include <QRectF>

namespace vellamor {

// The check mark of a finished dictation: a short stroke down to the right,
// then a long one up to the right, drawn up to `progress` (0...1) of its
// length so that it can draw itself.
class CheckMarkShape {
public:
    static QPainterPath path(const QRectF& rect, double progress);
};

} // namespace vellamor
