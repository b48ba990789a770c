#include "Onboarding/OnboardingStepDots.h"

#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

namespace {

constexpr double dotHeight = 6;
constexpr double spacing = 6;
constexpr double passedWidth = 8;
constexpr double currentWidth = 26;
constexpr double futureWidth = 6;
// Room for the current dot's glow.
constexpr double margin = 2;

double widthOf(int index, int current)
{
    if (index < current)
        return passedWidth;
    return index == current ? currentWidth : futureWidth;
}

} // namespace

OnboardingStepDots::OnboardingStepDots(int current, int total, QWidget* parent)
    : QWidget(parent)
    , current_(current)
    , total_(std::max(total, 0))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void OnboardingStepDots::setCurrent(int current)
{
    current_ = current;
    updateGeometry();
    update();
}

QSize OnboardingStepDots::sizeHint() const
{
    double width = 0;
    for (int i = 0; i < total_; ++i)
        width += widthOf(i, current_) + (i > 0 ? spacing : 0);
    return {static_cast<int>(width + 2 * margin), static_cast<int>(dotHeight + 2 * margin)};
}

void OnboardingStepDots::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    double x = margin;
    const double y = (height() - dotHeight) / 2;
    for (int i = 0; i < total_; ++i) {
        const QRectF capsule(x, y, widthOf(i, current_), dotHeight);
        const QPainterPath path = PaintKit::continuousRoundedRect(capsule, dotHeight / 2);
        if (i == current_) {
            painter.strokePath(path, QPen(PaintKit::withOpacity(WindowTheme::blue(), 0.18), 2));
            painter.fillPath(path, WindowTheme::blue());
        } else if (i < current_) {
            painter.fillPath(path, PaintKit::withOpacity(WindowTheme::blue(), 0.55));
        } else {
            painter.fillPath(path, PaintKit::withOpacity(WindowTheme::secondary(), 0.22));
        }
        x += capsule.width() + spacing;
    }
}

} // namespace vellamor
