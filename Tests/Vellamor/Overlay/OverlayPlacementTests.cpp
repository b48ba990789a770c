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

} // namespace
} // namespace vellamor::test
