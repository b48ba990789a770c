#include "Overlay/PinnedTextActionButton.h"

#include "Overlay/OverlayTheme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace vellamor {

PinnedTextActionButton::PinnedTextActionButton(const QString& title, bool prominent, QWidget* parent)
    : OverlayButton(parent)
    , prominent_(prominent)
{
    setText(title);
    setFont(OverlayTheme::font(10, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PinnedTextActionButton::sizeHint() const
{
    return {static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()) + 16)), 20};
}

void PinnedTextActionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(prominent_ ? OverlayTheme::success() : OverlayTheme::white(0.08));
    const QRectF capsule(rect());
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.setPen(prominent_ ? OverlayTheme::black(0.86) : OverlayTheme::white(0.64));
    painter.drawText(capsule, Qt::AlignCenter, text());
}

} // namespace vellamor
