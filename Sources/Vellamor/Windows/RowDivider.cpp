#include "Windows/RowDivider.h"

#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

RowDivider::RowDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(5);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RowDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRectF(0, 2, width(), 1), WindowTheme::divider());
}

} // namespace vellamor
