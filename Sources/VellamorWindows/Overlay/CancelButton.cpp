#include "Overlay/CancelButton.h"

#include "Overlay/OverlayGlyph.h"
#include "Overlay/OverlayTheme.h"

#include <QPainter>

namespace vellamor {

CancelButton::CancelButton(QWidget* parent) : OverlayButton(parent)
{
    setFixedSize(22, 22);
    setToolTip(QStringLiteral("取消本次输入"));
}

void CancelButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(OverlayTheme::white(0.055));
    painter.drawEllipse(QRectF(rect()));
    OverlayGlyph::paint(painter, OverlayGlyph::Symbol::xmark, rect(), 10, QFont::Bold, OverlayTheme::white(0.58));
}

} // namespace vellamor
