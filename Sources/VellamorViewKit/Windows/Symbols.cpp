#include "Windows/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

// The symbol in `color` on a transparent ground, `pixels` square; drawn
// once per name, size and colour (sidebars repaint often).
QPixmap tinted(const QString& name, int pixels, const QColor& color)
{
    const QString key = QStringLiteral("vellamor-symbol:%1:%2:%3").arg(name).arg(pixels).arg(color.rgba(), 0, 16);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid() || pixels <= 0)
        return {};
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    const QPixmap pixmap = QPixmap::fromImage(image);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

bool Symbols::exists(const QString& name)
{
    return !name.isEmpty() && QFile::exists(resourcePath(name));
}

void Symbols::paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color)
{
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int pixels = static_cast<int>(std::ceil(std::min(rect.width(), rect.height()) * scale));
    const QPixmap symbol = tinted(name, pixels, color);
    if (symbol.isNull())
        return;
    const double side = std::min(rect.width(), rect.height());
    const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(square, symbol, QRectF(symbol.rect()));
    painter.restore();
}

QPixmap Symbols::pixmap(const QString& name, double size, const QColor& color)
{
    const double scale = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap = tinted(name, static_cast<int>(std::ceil(size * scale)), color);
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

} // namespace vellamor
