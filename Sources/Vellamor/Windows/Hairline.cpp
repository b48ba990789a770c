#include "Windows/Hairline.h"

#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

Hairline::Hairline(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Hairline::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), WindowTheme::divider());
}

} // namespace vellamor
