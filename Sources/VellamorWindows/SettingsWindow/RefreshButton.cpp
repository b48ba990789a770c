#include "SettingsWindow/RefreshButton.h"

#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QPainter>
#include <QTimer>

namespace vellamor {

RefreshButton::RefreshButton(const QString& toolTip, QWidget* parent)
    : QToolButton(parent)
    , spin_(new QTimer(this))
{
    setToolTip(toolTip);
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    spin_->setInterval(80);
    connect(spin_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void RefreshButton::setBusy(bool busy)
{
    busy_ = busy;
    if (busy)
        spin_->start();
    else
        spin_->stop();
    update();
}

void RefreshButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const QRectF face = QRectF(rect()).adjusted(4, 4, -4, -4);
    if (!busy_) {
        Symbols::paint(painter, face, QStringLiteral("arrow.clockwise"), WindowTheme::secondary());
        return;
    }
    painter.setPen(QPen(WindowTheme::secondary(), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(face.adjusted(1, 1, -1, -1), -angle_ * 16, 270 * 16);
}

} // namespace vellamor
