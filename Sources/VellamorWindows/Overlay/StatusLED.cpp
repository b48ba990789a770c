#include "Overlay/StatusLED.h"

#include "Overlay/OverlayGlyph.h"
#include "Overlay/OverlayTheme.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>

namespace vellamor {

StatusLED::StatusLED(QWidget* parent) : QWidget(parent), glow_(new QGraphicsDropShadowEffect(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    // A shadow with no offset draws outside the dot's own square, which a
    // widget's painting cannot.
    glow_->setOffset(0, 0);
    glow_->setBlurRadius(6);
    setGraphicsEffect(glow_);
}

void StatusLED::setColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    glow_->setColor(OverlayTheme::withOpacity(color_, 0.7));
    update();
}

void StatusLED::setCancelled(bool cancelled)
{
    if (cancelled == cancelled_)
        return;
    cancelled_ = cancelled;
    glow_->setEnabled(!cancelled_);
    update();
}

void StatusLED::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (cancelled_) {
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::xmark, rect(), 9, QFont::Bold, OverlayTheme::white(0.6));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(QRectF(rect()));
}

} // namespace vellamor
