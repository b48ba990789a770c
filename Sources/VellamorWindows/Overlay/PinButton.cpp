#include "Overlay/PinButton.h"

#include "Overlay/OverlayGlyph.h"
#include "Overlay/OverlayTheme.h"

#include <QPainter>

namespace vellamor {

PinButton::PinButton(QWidget* parent) : OverlayButton(parent)
{
    setFixedSize(18, 18);
    setToolTip(QStringLiteral("固定"));
}

void PinButton::setPinned(bool pinned)
{
    if (pinned == pinned_)
        return;
    pinned_ = pinned;
    setToolTip(pinned_ ? QStringLiteral("取消固定") : QStringLiteral("固定"));
    update();
}

void PinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (pinned_)
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::pinFill, rect(), 10.5, QFont::DemiBold,
                            OverlayTheme::success());
    else
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::pin, rect(), 10.5, QFont::DemiBold,
                            OverlayTheme::white(0.45));
}

} // namespace vellamor
