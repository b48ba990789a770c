#include "OverlayTestPrinters.h"

#include "Overlay/OverlayPlacement.h"

#include <gmock/gmock.h>

#include <array>

inline void PrintTo(const QRectF& rect, std::ostream* os)
{
    *os << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height() << ")";
}

namespace vellamor::test {
namespace {

// A 1440-wide screen whose available area starts 25 below its top, under a
// panel: the island hangs 14 below that, centred; pinned results stack
// downwards, one island height and 8 apart.
TEST(OverlayPlacementTest, IslandHangsBelowTheTopAndPinnedResultsStackDownwards)
{
    const QRectF available(0, 25, 1440, 850);
    EXPECT_EQ(OverlayPlacement::topCentre(available, {110, 26}), QRectF(665, 39, 110, 26));
    const QRectF island = OverlayPlacement::topCentre(available, {326, 32});
    EXPECT_EQ(island, QRectF(557, 39, 326, 32));

    struct Case {
        int slot;
        QRectF frame;
    };
    const std::array cases{
        Case{0, {557, 79, 326, 32}},
        Case{1, {557, 119, 326, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(OverlayPlacement::pinnedSlot(island, c.slot), c.frame);
    }
    const QRectF secondScreen(1440, 0, 1920, 1080);
    EXPECT_EQ(OverlayPlacement::topCentre(secondScreen, {380, 126}), QRectF(2210, 14, 380, 126));
}

// Slots below a 32 high island are 40 apart; two fit above the bottom of
// the area at 175.
TEST(OverlayPlacementTest, NewPinnedPanelTakesTheLowestFreeSlotInsideTheScreen)
{
    const QRectF island(557, 39, 326, 32);
    const QRectF available(0, 25, 1440, 150);
    struct Case {
        const char* name;
        QList<QRectF> open;
        QRectF area;
        QRectF frame;
    };
    const std::array cases{
        Case{"nothing open", {}, available, {557, 79, 326, 32}},
        Case{"first slot taken", {{557, 79, 326, 32}}, available, {557, 119, 326, 32}},
        Case{"only the second slot still open", {{557, 119, 326, 32}}, available, {557, 79, 326, 32}},
        Case{"every slot taken", {{557, 79, 326, 32}, {557, 119, 326, 32}}, available, {557, 79, 326, 32}},
        Case{"no slot fits", {}, {0, 25, 1440, 80}, {557, 73, 326, 32}},
        Case{"no screen", {{557, 79, 326, 32}, {557, 119, 326, 32}}, {}, {557, 159, 326, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OverlayPlacement::freePinnedSlot(island, c.open, c.area), c.frame);
    }
}

} // namespace
} // namespace vellamor::test
