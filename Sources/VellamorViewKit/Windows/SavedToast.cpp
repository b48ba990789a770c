#include "Windows/SavedToast.h"

#include "Windows/PaintKit.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

const QString text = QStringLiteral("已保存");
constexpr double iconSize = 12;
constexpr double spacing = 6;
constexpr double paddingX = 12;
constexpr double paddingY = 6;
constexpr double lift = 8;

QFont textFont()
{
    return WindowTheme::font(12, QFont::Medium);
}

QSizeF capsuleSize()
{
    const QFontMetricsF metrics(textFont());
    return {paddingX * 2 + iconSize + spacing + metrics.horizontalAdvance(text),
            paddingY * 2 + std::max(iconSize, metrics.height())};
}

} // namespace

SavedToast::SavedToast(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void SavedToast::setReveal(double reveal)
{
    reveal_ = std::clamp(reveal, 0.0, 1.0);
    update();
}

QSize SavedToast::sizeHint() const
{
    const QSizeF capsule = capsuleSize();
    return {static_cast<int>(std::ceil(capsule.width() + SavedToast::shadowMargin * 2)),
            static_cast<int>(std::ceil(capsule.height() + SavedToast::shadowMargin * 2))};
}

void SavedToast::paintEvent(QPaintEvent*)
{
    if (reveal_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(reveal_);
    painter.translate(0, -lift * (1 - reveal_));
    const QSizeF size = capsuleSize();
    const QRectF capsule(SavedToast::shadowMargin, SavedToast::shadowMargin, size.width(), size.height());
    const double radius = capsule.height() / 2;
    PaintKit::paintSoftShadow(painter, capsule, radius, 0.08, 6, QPointF(0, 2));
    const QPainterPath shape = PaintKit::continuousRoundedRect(capsule, radius);
    painter.fillPath(shape, PaintKit::withOpacity(WindowTheme::windowBackground(), 0.92));
    painter.strokePath(shape, QPen(PaintKit::withOpacity(WindowTheme::secondary(), 0.15), 0.5));
    const QRectF icon(capsule.left() + paddingX, capsule.center().y() - iconSize / 2, iconSize, iconSize);
    Symbols::paint(painter, icon, QStringLiteral("checkmark.circle.fill"), WindowTheme::green());
    painter.setFont(textFont());
    painter.setPen(WindowTheme::primary());
    painter.drawText(QRectF(icon.right() + spacing, capsule.top(), capsule.right() - icon.right() - spacing,
                            capsule.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
}

} // namespace vellamor
