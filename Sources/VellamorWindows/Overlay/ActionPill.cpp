#include "Overlay/ActionPill.h"

#include "Overlay/OverlayTheme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vellamor {

namespace {

constexpr double fontSize = 10.5;
constexpr double horizontalPadding = 9;
constexpr double verticalPadding = 2;

QPainterPath capsule(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, rect.height() / 2, rect.height() / 2);
    return path;
}

} // namespace

ActionPill::ActionPill(const QString& text, QColor color, QWidget* parent) : OverlayButton(parent), color_(color)
{
    setText(text);
    setToolTip(text);
    setFont(OverlayTheme::font(fontSize, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ActionPill::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 2 * horizontalPadding)),
            static_cast<int>(std::ceil(metrics.height() + 2 * verticalPadding))};
}

void ActionPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(OverlayTheme::withOpacity(color_, 0.22));
    painter.drawPath(capsule(rect()));
    painter.setPen(color_);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

bool ActionPill::hitButton(const QPoint& position) const
{
    return capsule(rect()).contains(QPointF(position));
}

} // namespace vellamor
