#include "Overlay/ModeHintPill.h"

#include "Overlay/OverlayGlyph.h"
#include "Overlay/OverlayTheme.h"

#include <QPainter>

namespace vellamor {

ModeHintPill::ModeHintPill(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(24, 22);
    setToolTip(QStringLiteral("按住录音"));
}

void ModeHintPill::setMode(const QString& mode)
{
    const bool toggle = mode == QStringLiteral("toggle");
    if (toggle == toggle_)
        return;
    toggle_ = toggle;
    setToolTip(toggle_ ? QStringLiteral("停止录音") : QStringLiteral("按住录音"));
    update();
}

void ModeHintPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(OverlayTheme::white(toggle_ ? 0.1 : 0.055));
    const QRectF frame(rect());
    painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);
    if (toggle_)
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::stopFill, frame, 8.5, QFont::DemiBold,
                            OverlayTheme::danger());
    else
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::handTap, frame, 10.5, QFont::DemiBold,
                            OverlayTheme::white(0.55));
}

} // namespace vellamor
