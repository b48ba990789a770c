#include "Overlay/ThinkingLabel.h"

#include "Overlay/OverlayTheme.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace vellamor {

namespace {

constexpr double textFontSize = 11.5;
constexpr double textToDots = 6;
constexpr double dotSize = 3.5;
constexpr double dotSpacing = 3;
constexpr double dotRise = 3;
constexpr double dotsWidth = 3 * dotSize + 2 * dotSpacing;

// How far dot `index` is through its rise, 0...1; each dot trails the one
// before by 0.72 rad.
double dotLevel(double seconds, int index)
{
    return (std::sin(4.2 * seconds + 0.72 * index) + 1) * 0.5;
}

} // namespace

ThinkingLabel::ThinkingLabel(QWidget* parent)
    : QWidget(parent)
    , font_(OverlayTheme::font(textFontSize, QFont::Medium))
{
    setAttribute(Qt::WA_TranslucentBackground);
    timeline_.setInterval(OverlayTheme::timelineInterval);
    timeline_.setTimerType(Qt::PreciseTimer);
    connect(&timeline_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void ThinkingLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

void ThinkingLabel::setColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

QSize ThinkingLabel::sizeHint() const
{
    const QFontMetricsF metrics(font_);
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text_) + textToDots + dotsWidth)),
            static_cast<int>(std::ceil(metrics.height()))};
}

QSize ThinkingLabel::minimumSizeHint() const
{
    return {static_cast<int>(std::ceil(textToDots + dotsWidth)), sizeHint().height()};
}

void ThinkingLabel::showEvent(QShowEvent* event)
{
    timeline_.start();
    QWidget::showEvent(event);
}

void ThinkingLabel::hideEvent(QHideEvent* event)
{
    timeline_.stop();
    QWidget::hideEvent(event);
}

void ThinkingLabel::paintEvent(QPaintEvent*)
{
    const QFontMetricsF metrics(font_);
    const QString shownText
        = metrics.elidedText(text_, Qt::ElideRight, std::max(0.0, width() - textToDots - dotsWidth));
    const double textWidth = metrics.horizontalAdvance(shownText);
    const double centreY = height() / 2.0;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font_);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(0, centreY - metrics.height() / 2 + metrics.ascent()), shownText);

    const double seconds = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    painter.setPen(Qt::NoPen);
    double x = textWidth + textToDots;
    for (int i = 0; i < 3; ++i) {
        const double level = dotLevel(seconds, i);
        painter.setBrush(OverlayTheme::withOpacity(color_, 0.35 + 0.55 * level));
        painter.drawEllipse(QRectF(x, centreY - dotSize / 2 - dotRise * level, dotSize, dotSize));
        x += dotSize + dotSpacing;
    }
}

} // namespace vellamor
