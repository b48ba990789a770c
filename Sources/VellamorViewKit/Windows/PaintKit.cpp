#include "Windows/PaintKit.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace vellamor {

namespace {

// Qt sizes fonts in points of the screen's logical DPI.
double pointSizeFor(double pixels)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return pixels * 72.0 / dpi;
}

QEasingCurve bezier(QPointF first, QPointF second)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
}

} // namespace

QFont PaintKit::font(double size, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSizeFor(size));
    font.setWeight(weight);
    return font;
}

QFont PaintKit::monospacedFont(double size, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(pointSizeFor(size));
    font.setWeight(weight);
    return font;
}

QColor PaintKit::withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QString PaintKit::oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return line;
}

QString PaintKit::elidedLine(const QString& text, const QFont& font, double width)
{
    return QFontMetricsF(font).elidedText(oneLine(text), Qt::ElideRight, std::max(0.0, width));
}

QPainterPath PaintKit::continuousRoundedRect(const QRectF& rect, double radius)
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

void PaintKit::paintSoftShadow(QPainter& painter, const QRectF& rect, double radius, double opacity, int spread,
                               QPointF offset)
{
    const double share = opacity / spread / ((spread + 1) / 2.0);
    for (int ring = spread; ring >= 1; --ring) {
        const QRectF ringRect = rect.translated(offset).adjusted(-ring, -ring, ring, ring);
        painter.fillPath(continuousRoundedRect(ringRect, radius + ring),
                         QColor::fromRgbF(0, 0, 0, static_cast<float>(share * (spread + 1 - ring))));
    }
}

QEasingCurve PaintKit::easeIn()
{
    return bezier(QPointF(0.42, 0), QPointF(1, 1));
}

QEasingCurve PaintKit::easeOut()
{
    return bezier(QPointF(0, 0), QPointF(0.58, 1));
}

QEasingCurve PaintKit::easeInOut()
{
    return bezier(QPointF(0.42, 0), QPointF(0.58, 1));
}

} // namespace vellamor
