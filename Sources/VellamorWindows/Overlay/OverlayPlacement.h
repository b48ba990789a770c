#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

namespace vellamor {

// Where the overlay's panels go, in the window system's coordinates (origin
// at the top left, y growing downwards). Every placement rule of the overlay
// lives here, so nothing else converts between upward and downward y.
class OverlayPlacement {
public:
    // The island hangs this far below the top of the screen's available area.
    static constexpr double topMargin = 14;
    // The gap between the island and the first pinned panel, and between pinned panels.
    static constexpr double pinnedGap = 8;

    // Centred horizontally, `topMargin` below the top of `available` (the
    // screen without panels and docks).
    static QRectF topCentre(const QRectF& available, const QSizeF& size);

    // Pinned slot `slot` (from 0) below the island's frame: same size, one
    // island height plus the gap further down per slot.
    static QRectF pinnedSlot(const QRectF& islandFrame, int slot);

    // Where a new pinned panel goes: the lowest slot that no open panel
    // overlaps and that lies inside `available`; with none left, the first
    // slot moved inside. A null `available` (no screen) bounds nothing.
    static QRectF freePinnedSlot(const QRectF& islandFrame, const QList<QRectF>& openPanels,
                                 const QRectF& available);

    // `frame` moved inside `area`; one larger than the area keeps its top
    // left corner inside.
    static QRectF keptInside(const QRectF& frame, const QRectF& area);
};

} // namespace vellamor
