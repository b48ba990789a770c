#include "Windows/RowDivider.h"

#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

RowDivider::RowDivider(QWidget* parent, int margin)
    : QWidget(parent)
    , margin_(margin)
{
    setFixedHeight(1 + 2 * margin);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RowDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRectF(0, margin_, width(), 1), WindowTheme::divider());
}

} // namespace vellamor
