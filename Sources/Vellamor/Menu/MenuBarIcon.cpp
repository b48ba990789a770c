#include "Menu/MenuBarIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace vellamor {

namespace {

// In logical pixels, origin at the top left.
constexpr QSizeF plainSize{17, 17};
constexpr QSizeF badgedSize{22, 18};
constexpr QRectF badgedSymbol{0, 0, 17, 17};
// A ring in the panel's background colour keeps the dot apart from the symbol.
constexpr QRectF badgeRing{11.5, -0.5, 11, 11};
constexpr QRectF badgeDot{14, 2, 6, 6};
const QColor badgeGreen{52, 199, 89};

} // namespace

QIcon MenuBarIcon::icon(MenuBarIconState state, bool badged)
{
    const QString resource = symbolResource(state);
    QIcon icon;
    for (const int scale : {1, 2}) {
        const QImage image = draw(resource, badged, scale);
        if (image.isNull())
            return QIcon();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    const bool tintable = !badged && (state == MenuBarIconState::idle || state == MenuBarIconState::recording ||
                                      state == MenuBarIconState::processing);
    icon.setIsMask(tintable);
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

QImage MenuBarIcon::draw(const QString& resource, bool badged, int scale)
{
    QSvgRenderer symbol(resource);
    if (!symbol.isValid())
        return {};
    const QSizeF size = badged ? badgedSize : plainSize;
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    symbol.render(&painter, badged ? badgedSymbol : QRectF(QPointF(0, 0), plainSize));
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
