#include "Overlay/Waveform.h"

#include "Overlay/OverlayTheme.h"

#include <QPainter>

#include <algorithm>

namespace vellamor {

namespace {

constexpr std::chrono::milliseconds easeDuration{110};

} // namespace

Waveform::Waveform(QWidget* parent) : QWidget(parent)
{
    // It sits on the island's black ground and paints it itself: its many
    // frames then repaint nothing below it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    curve_ = OverlayTheme::easeOut();
    frames_.setInterval(OverlayTheme::timelineInterval);
    connect(&frames_, &QTimer::timeout, this, [this] {
        if (easeStart_.elapsed() >= easeDuration.count())
            frames_.stop();
        update();
    });
}

std::vector<double> Waveform::shown() const
{
    if (from_.size() != to_.size())
        return to_;
    double f = 1.0;
    if (frames_.isActive()) {
        const double t = static_cast<double>(easeStart_.elapsed()) / static_cast<double>(easeDuration.count());
        f = curve_.valueForProgress(std::min(t, 1.0));
    }
    std::vector<double> levels(to_.size());
    for (std::size_t i = 0; i < to_.size(); ++i)
        levels[i] = from_[i] + (to_[i] - from_[i]) * f;
    return levels;
}

void Waveform::setSamples(std::span<const float> samples)
{
    std::vector<double> next(samples.begin(), samples.end());
    if (next == to_)
        return;
    // A new window mid-animation starts from what is on screen.
    from_ = shown();
    to_ = std::move(next);
    if (from_.size() == to_.size() && isVisible()) {
        easeStart_.start();
        frames_.start();
        // Its first frame is what the screen shows already.
        return;
    }
    update();
}

void Waveform::setColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

QRectF Waveform::barRect(int index, int count, double level) const
{
    const double total = count * barWidth + std::max(count - 1, 0) * barSpacing;
    const double left = (width() - total) / 2;
    const double height = this->height() * (0.18 + 0.82 * std::clamp(level, 0.0, 1.0));
    return {left + index * (barWidth + barSpacing), (this->height() - height) / 2, barWidth, height};
}

void Waveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const std::vector<double> levels = shown();
    const int count = static_cast<int>(levels.size());
    for (int i = 0; i < count; ++i) {
        const double level = std::clamp(levels[static_cast<std::size_t>(i)], 0.0, 1.0);
        painter.setBrush(OverlayTheme::withOpacity(color_, 0.45 + 0.55 * level));
        painter.drawRoundedRect(barRect(i, count, level), barWidth / 2, barWidth / 2);
    }
}

} // namespace vellamor
