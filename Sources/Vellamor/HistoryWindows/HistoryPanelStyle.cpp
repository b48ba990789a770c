#include "HistoryWindows/HistoryPanelStyle.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace vellamor {

HistoryPanelStyle::HistoryPanelStyle(const QPalette& palette)
    : primary_(palette.color(QPalette::WindowText))
    , window_(palette.color(QPalette::Window))
{
}

bool HistoryPanelStyle::isDark() const
{
    return window_.lightnessF() < 0.5;
}

QColor HistoryPanelStyle::secondary() const
{
    return withOpacity(primary_, isDark() ? 0.55 : 0.5);
}

QColor HistoryPanelStyle::green() const
{
    return isDark() ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);
}

QColor HistoryPanelStyle::orange() const
{
    return isDark() ? QColor(0xFF, 0x9F, 0x0A) : QColor(0xFF, 0x95, 0x00);
}

QColor HistoryPanelStyle::withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QFont HistoryPanelStyle::font(qreal points, QFont::Weight weight)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    QFont font;
    font.setPointSizeF(points * 72.0 / dpi);
    font.setWeight(weight);
    return font;
}

QPixmap HistoryPanelStyle::symbol(Symbol symbol, qreal points, const QColor& color)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const qreal side = points * 1.2;
    QPixmap image(QSize(qCeil(side * ratio), qCeil(side * ratio)));
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal stroke = qMax(1.0, side * 0.09);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QRectF box(stroke, stroke, side - 2 * stroke, side - 2 * stroke);
    const QPointF centre = box.center();
    const qreal unit = box.width() / 10;
    // The mark inside the info, bubble and triangle symbols: a bar and a dot.
    const auto mark = [&](qreal top, qreal bottom, bool dotFirst) {
        const qreal dotY = dotFirst ? top : bottom;
        const qreal barTop = dotFirst ? top + 2.2 * unit : top;
        const qreal barBottom = dotFirst ? bottom : bottom - 2.2 * unit;
        painter.drawLine(QPointF(centre.x(), barTop), QPointF(centre.x(), barBottom));
        painter.drawPoint(QPointF(centre.x(), dotY));
    };
    switch (symbol) {
    case Symbol::xmark:
        painter.drawLine(box.topLeft() + QPointF(unit, unit), box.bottomRight() - QPointF(unit, unit));
        painter.drawLine(box.topRight() + QPointF(-unit, unit), box.bottomLeft() + QPointF(unit, -unit));
        break;
    case Symbol::infoCircle:
        painter.drawEllipse(box);
        mark(box.top() + 2.8 * unit, box.bottom() - 2.6 * unit, true);
        break;
    case Symbol::exclamationBubble: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(box.left(), box.top(), box.width(), box.height() * 0.78), 2 * unit, 2 * unit);
        bubble.moveTo(box.left() + 2.5 * unit, box.top() + box.height() * 0.78);
        bubble.lineTo(box.left() + 1.8 * unit, box.bottom());
        bubble.lineTo(box.left() + 4.5 * unit, box.top() + box.height() * 0.78);
        painter.drawPath(bubble);
        mark(box.top() + 1.8 * unit, box.top() + box.height() * 0.78 - 1.8 * unit, false);
        break;
    }
    case Symbol::exclamationTriangle: {
        const QPolygonF triangle{QPointF(centre.x(), box.top()), box.bottomRight(), box.bottomLeft()};
        painter.drawPolygon(triangle);
        mark(box.top() + 3.5 * unit, box.bottom() - 1.5 * unit, false);
        break;
    }
    case Symbol::clockArrow:
        // An open circle, its arrow head, and the hands.
        painter.drawArc(box, 120 * 16, -330 * 16);
        painter.drawLine(QPointF(box.left() + 0.6 * unit, box.top() + 1.6 * unit),
                         QPointF(box.left() + 0.9 * unit, box.top() + 3.6 * unit));
        painter.drawLine(QPointF(box.left() + 0.9 * unit, box.top() + 3.6 * unit),
                         QPointF(box.left() + 2.9 * unit, box.top() + 3.2 * unit));
        painter.drawLine(centre, QPointF(centre.x(), box.top() + 2.5 * unit));
        painter.drawLine(centre, QPointF(centre.x() + 2 * unit, centre.y() + 1.5 * unit));
        break;
    }
    return image;
}

} // namespace vellamor
