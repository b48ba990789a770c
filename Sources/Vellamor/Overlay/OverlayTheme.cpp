#include "Overlay/OverlayTheme.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vellamor {

namespace {

constexpr double springResponse = 0.45;
constexpr double springDamping = 0.72;

// Point sizes are converted to pixels with the screen's logical DPI; the
// overlay's sizes are pixels.
double pointSizeFor(double pixels)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return pixels * 72.0 / dpi;
}

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

QEasingCurve bezier(QPointF first, QPointF second)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
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
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QPainterPath OverlayTheme::continuousRoundedRect(const QRectF& rect, double radius)
{
    // Each corner is one cubic that starts 1.28 radii from the corner and
    // reaches about as deep as a circular arc would.
    const double reach = std::min({radius * 1.28, rect.width() / 2, rect.height() / 2});
    const double handle = reach * 0.276;
    const double l = rect.left();
    const double t = rect.top();
    const double r = rect.right();
    const double b = rect.bottom();
    QPainterPath path;
    if (reach <= 0) {
        path.addRect(rect);
        return path;
    }
    path.moveTo(l + reach, t);
    path.lineTo(r - reach, t);
    path.cubicTo(r - handle, t, r, t + handle, r, t + reach);
    path.lineTo(r, b - reach);
    path.cubicTo(r, b - handle, r - handle, b, r - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + handle, b, l, b - handle, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + handle, l + handle, t, l + reach, t);
    path.closeSubpath();
    return path;
}

QFont OverlayTheme::font(double size, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSizeFor(size));
    font.setWeight(weight);
    return font;
}

QFont OverlayTheme::monospacedFont(double size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(pointSizeFor(size));
    return font;
}

QEasingCurve OverlayTheme::easeOut()
{
    return bezier(QPointF(0, 0), QPointF(0.58, 1));
}

QEasingCurve OverlayTheme::easeInOut()
{
    return bezier(QPointF(0.42, 0), QPointF(0.58, 1));
}

QEasingCurve OverlayTheme::spring()
{
    QEasingCurve curve;
    curve.setCustomType(&springProgress);
    return curve;
}

} // namespace vellamor
