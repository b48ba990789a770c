#include "Windows/TintedGround.h"

#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

TintedGround::TintedGround(double radius, double opacity, QWidget* parent)
    : QWidget(parent)
    , radius_(radius)
    , opacity_(opacity)
{
}

void TintedGround::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(PaintKit::continuousRoundedRect(rect(), radius_),
                     PaintKit::withOpacity(WindowTheme::secondary(), opacity_));
}

} // namespace vellamor
