#include "Overlay/OverlayPlacement.h"

namespace vellamor {

QRectF OverlayPlacement::topCentre(const QRectF& available, const QSizeF& size)
{
    return {available.center().x() - size.width() / 2, available.top() + topMargin, size.width(), size.height()};
}

QRectF OverlayPlacement::pinnedSlot(const QRectF& islandFrame, int slot)
{
    const double step = islandFrame.height() + pinnedGap;
    return islandFrame.translated(0, step * (slot + 1));
}

} // namespace vellamor
