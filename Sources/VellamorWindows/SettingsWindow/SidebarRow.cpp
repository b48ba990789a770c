#include "SettingsWindow/SidebarRow.h"

#include "Windows/PaintKit.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace vellamor {

namespace {

constexpr double paddingX = 8;
constexpr double paddingY = 5;
constexpr double symbolSize = 15;
constexpr double spacing = 6;
constexpr double dotSize = 6;

} // namespace

SidebarRow::SidebarRow(SettingsSection section, QWidget* parent)
    : QAbstractButton(parent)
    , section_(section)
{
    setText(sidebarLabel(section));
    setFont(WindowTheme::font(13));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
}

void SidebarRow::setSelectedRow(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void SidebarRow::setHit(bool hit)
{
    if (hit_ == hit)
        return;
    hit_ = hit;
    update();
}

QSize SidebarRow::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const double width = paddingX * 2 + symbolSize + spacing + metrics.horizontalAdvance(text()) + spacing + dotSize;
    const double height = paddingY * 2 + std::max(symbolSize, metrics.height());
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void SidebarRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF row = rect();
    if (selected_)
        painter.fillPath(PaintKit::continuousRoundedRect(row, 6), PaintKit::withOpacity(WindowTheme::accent(), 0.18));
    const QColor ink = WindowTheme::primary();
    const QRectF icon(row.left() + paddingX, row.center().y() - symbolSize / 2, symbolSize, symbolSize);
    Symbols::paint(painter, icon, sidebarIcon(section_), ink);
    const double textLeft = icon.right() + spacing;
    const double dotLeft = row.right() - paddingX - dotSize;
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(QRectF(textLeft, row.top(), dotLeft - spacing - textLeft, row.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    if (hit_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(WindowTheme::accent());
        painter.drawEllipse(QRectF(dotLeft, row.center().y() - dotSize / 2, dotSize, dotSize));
    }
}

} // namespace vellamor
