#include "HistoryWindows/DictToast.h"

#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPropertyAnimation>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

constexpr double paddingX = 12;
constexpr double paddingY = 6;
constexpr int fadeMs = 180;

QFont textFont()
{
    return WindowTheme::font(12, QFont::Medium);
}

} // namespace

DictToast::DictToast(QWidget* parent)
    : QWidget(parent)
    , animation_(new QPropertyAnimation(this, "reveal", this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    animation_->setDuration(fadeMs);
    animation_->setEasingCurve(PaintKit::easeOut());
    connect(animation_, &QPropertyAnimation::finished, this, [this] {
        if (!presented_)
            hide();
    });
    hide();
}

void DictToast::present(const std::optional<QString>& text)
{
    presented_ = text.has_value();
    if (text) {
        text_ = *text;
        setAccessibleName(text_);
        resize(sizeHint());
        show();
        raise();
        update();
    }
    animation_->stop();
    animation_->setStartValue(reveal_);
    animation_->setEndValue(presented_ ? 1.0 : 0.0);
    animation_->start();
}

void DictToast::setReveal(double reveal)
{
    reveal_ = std::clamp(reveal, 0.0, 1.0);
    update();
}

QSize DictToast::sizeHint() const
{
    const QFontMetricsF metrics(textFont());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text_) + paddingX * 2 + shadowMargin * 2)),
            static_cast<int>(std::ceil(metrics.height() + paddingY * 2 + shadowMargin * 2))};
}

void DictToast::paintEvent(QPaintEvent*)
{
    if (reveal_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(reveal_);
    const QRectF capsule = QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);
    const double radius = capsule.height() / 2;
    PaintKit::paintSoftShadow(painter, capsule, radius, 0.1, 4, QPointF(0, 2));
    const QPainterPath shape = PaintKit::continuousRoundedRect(capsule, radius);
    // A thin, see-through ground like frosted glass.
    painter.fillPath(shape, PaintKit::withOpacity(WindowTheme::windowBackground(), 0.82));
    painter.strokePath(shape, QPen(PaintKit::withOpacity(WindowTheme::secondary(), 0.15), 0.5));
    painter.setFont(textFont());
    painter.setPen(WindowTheme::primary());
    painter.drawText(capsule, Qt::AlignCenter, text_);
}

} // namespace vellamor
