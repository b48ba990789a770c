#include "Windows/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

// The symbol in its own colour on a transparent ground, `pixels` square.
QImage tinted(const QString& name, int pixels, const QColor& color)
{
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
    return image;
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
    const QImage image = tinted(name, pixels, color);
    if (image.isNull())
        return;
    const double side = std::min(rect.width(), rect.height());
    const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, image);
    painter.restore();
}

QPixmap Symbols::pixmap(const QString& name, double size, const QColor& color)
{
    const double scale = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QImage image = tinted(name, static_cast<int>(std::ceil(size * scale)), color);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(scale);
    return QPixmap::fromImage(image);
}

} // namespace vellamor
