#include "Menu/MenuBarIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace vellamor {

namespace {

// In logical pixels, origin at the top left: a square tray icon.
constexpr QSizeF iconSize{22, 22};
constexpr QRectF plainSymbol{2, 2, 18, 18};
// Room at the top right for the badge, which stays inside the icon.
constexpr QRectF badgedSymbol{0, 3, 17, 17};
// A ring in the panel's background colour keeps the dot apart from the symbol.
constexpr QRectF badgeRing{13, 1, 8, 8};
constexpr QRectF badgeDot{14, 2, 6, 6};
const QColor badgeGreen{52, 199, 89};
// Every symbol is outlined in this: the colours stand out on a dark panel,
// the outline on a light one.
const QColor halo{0, 0, 0, 150};

QColor symbolColor(MenuBarIconState state)
{
    switch (state) {
    case MenuBarIconState::idle:
        return {176, 180, 188};
    case MenuBarIconState::recording:
        return {239, 68, 68};
    case MenuBarIconState::processing:
        return {59, 130, 246};
    case MenuBarIconState::needsSetup:
        return {249, 115, 22};
    case MenuBarIconState::error:
        return {234, 179, 8};
    }
    return Qt::black;
}

// `symbol` drawn into `area` of a `size` image in `color` alone.
QImage tinted(QSvgRenderer& symbol, const QRectF& area, QSize size, int scale, const QColor& color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    symbol.render(&painter, area);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size) / scale), color);
    return image;
}

} // namespace

QIcon MenuBarIcon::icon(MenuBarIconState state, bool badged)
{
    const QString resource = symbolResource(state);
    QIcon icon;
    for (const int scale : {1, 2}) {
        const QImage image = draw(resource, state, badged, scale);
        if (image.isNull())
            return QIcon();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QString MenuBarIcon::toolTip(MenuBarIconState state)
{
    switch (state) {
    case MenuBarIconState::idle:
        return QStringLiteral("Vellamor · 待机（左键开始录音）");
    case MenuBarIconState::recording:
        return QStringLiteral("Vellamor · 录音中（左键结束）");
    case MenuBarIconState::processing:
        return QStringLiteral("Vellamor · 处理中");
    case MenuBarIconState::needsSetup:
        return QStringLiteral("Vellamor · 请完成初始设置");
    case MenuBarIconState::error:
        return QStringLiteral("Vellamor · 出错");
    }
    return {};
}

QString MenuBarIcon::symbolResource(MenuBarIconState state)
{
    switch (state) {
    case MenuBarIconState::idle:
        return QStringLiteral(":/menubar/mic.svg");
    case MenuBarIconState::recording:
        return QStringLiteral(":/menubar/mic.fill.svg");
    case MenuBarIconState::processing:
        return QStringLiteral(":/menubar/ellipsis.circle.svg");
    case MenuBarIconState::needsSetup:
        return QStringLiteral(":/menubar/exclamationmark.circle.fill.svg");
    case MenuBarIconState::error:
        return QStringLiteral(":/menubar/exclamationmark.triangle.fill.svg");
    }
    return {};
}

QImage MenuBarIcon::draw(const QString& resource, MenuBarIconState state, bool badged, int scale)
{
    QSvgRenderer symbol(resource);
    if (!symbol.isValid())
        return {};
    const QSize size = (iconSize * scale).toSize();
    const QRectF area = badged ? badgedSymbol : plainSymbol;
    const QImage outline = tinted(symbol, area, size, scale, halo);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QPointF offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
        painter.drawImage(offset, outline);
    painter.drawImage(QPointF(0, 0), tinted(symbol, area, size, scale, symbolColor(state)));
    if (badged) {
        painter.setPen(Qt::NoPen);
        QColor ring = QGuiApplication::palette().color(QPalette::Base);
        ring.setAlphaF(0.96f);
        painter.setBrush(ring);
        painter.drawEllipse(badgeRing);
        painter.setBrush(badgeGreen);
        painter.drawEllipse(badgeDot);
    }
    return image;
}

} // namespace vellamor
