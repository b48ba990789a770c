#include "Overlay/OverlayTheme.h"

#include "Windows/PaintKit.h"

#include <cmath>
#include <numbers>

namespace vellamor {

namespace {

constexpr double springResponse = 0.45;
constexpr double springDamping = 0.72;

qreal springProgress(qreal progress)
{
    if (progress >= 1)
        return 1;
    const double t = progress * std::chrono::duration<double>(OverlayTheme::springDuration).count();
    const double omega = 2 * std::numbers::pi / springResponse;
    const double decay = springDamping * omega;
    const double omegaDamped = omega * std::sqrt(1 - springDamping * springDamping);
    return 1 - std::exp(-decay * t) * (std::cos(omegaDamped * t) + decay / omegaDamped * std::sin(omegaDamped * t));
}

} // namespace

QColor OverlayTheme::record()
{
    return QColor::fromRgbF(0.37f, 0.92f, 0.83f);
}

QColor OverlayTheme::polish()
{
    return QColor::fromRgbF(0.66f, 0.55f, 0.98f);
}

QColor OverlayTheme::success()
{
    return QColor::fromRgbF(0.20f, 0.83f, 0.60f);
}

QColor OverlayTheme::warn()
{
    return QColor::fromRgbF(0.98f, 0.75f, 0.14f);
}

QColor OverlayTheme::danger()
{
    return QColor::fromRgbF(0.97f, 0.44f, 0.44f);
}

QColor OverlayTheme::codeAccent()
{
    return QColor::fromRgbF(0.98f, 0.65f, 0.30f);
}

QColor OverlayTheme::transcribeBlue()
{
    return QColor::fromRgbF(0.42f, 0.70f, 1.00f);
}

QColor OverlayTheme::white(double opacity)
{
    return withOpacity(Qt::white, opacity);
}

QColor OverlayTheme::black(double opacity)
{
    return withOpacity(Qt::black, opacity);
}

QColor OverlayTheme::withOpacity(QColor color, double opacity)
{
    return PaintKit::withOpacity(color, opacity);
}

QPainterPath OverlayTheme::continuousRoundedRect(const QRectF& rect, double radius)
{
    return PaintKit::continuousRoundedRect(rect, radius);
}

QFont OverlayTheme::font(double size, QFont::Weight weight)
{
    return PaintKit::font(size, weight);
}

QFont OverlayTheme::monospacedFont(double size)
{
    return PaintKit::monospacedFont(size);
}

QEasingCurve OverlayTheme::easeOut()
{
    return PaintKit::easeOut();
}

QEasingCurve OverlayTheme::easeInOut()
{
    return PaintKit::easeInOut();
}

QEasingCurve OverlayTheme::spring()
{
    QEasingCurve curve;
    curve.setCustomType(&springProgress);
    return curve;
}

} // namespace vellamor
