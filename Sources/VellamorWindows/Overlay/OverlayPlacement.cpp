#include "Overlay/OverlayPlacement.h"

#include <algorithm>

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

QRectF OverlayPlacement::freePinnedSlot(const QRectF& islandFrame, const QList<QRectF>& openPanels,
                                        const QRectF& available)
{
    // Without a screen nothing ends the column, so the search needs a bound.
    constexpr int slotLimit = 256;
    for (int slot = 0; slot < slotLimit; ++slot) {
        const QRectF frame = pinnedSlot(islandFrame, slot);
        if (!available.isNull() && frame.bottom() > available.bottom())
            break;
        const bool taken = std::any_of(openPanels.begin(), openPanels.end(),
                                       [&frame](const QRectF& open) { return open.intersects(frame); });
        if (!taken)
            return frame;
    }
    const QRectF first = pinnedSlot(islandFrame, 0);
    return available.isNull() ? first : keptInside(first, available);
}

QRectF OverlayPlacement::keptInside(const QRectF& frame, const QRectF& area)
{
    QRectF moved = frame;
    moved.moveLeft(std::max(std::min(frame.left(), area.right() - frame.width()), area.left()));
    moved.moveTop(std::max(std::min(frame.top(), area.bottom() - frame.height()), area.top()));
    return moved;
}

} // namespace vellamor
