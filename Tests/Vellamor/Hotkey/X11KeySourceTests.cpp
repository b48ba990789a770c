#include "Platform/KeySource/KeySourceError.h"
#include "Platform/KeySource/X11KeySource.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

TEST(X11KeySource, UnreachableDisplayFailsStartAndLeavesNothingInstalled)
{
    platform::X11KeySource source(QStringLiteral(":4242"));
    try {
        source.start(std::nullopt, [](const KeyEvent&) { return false; });
        FAIL() << "start succeeded without a display";
    } catch (const platform::KeySourceError& error) {
        EXPECT_EQ(error.kind(), platform::KeySourceError::Kind::displayUnavailable);
        EXPECT_EQ(error.debugDescription(), QStringLiteral("displayUnavailable(display=:4242)"));
    }
    EXPECT_FALSE(source.isStarted());
    source.stop();
}

} // namespace
} // namespace vellamor::test
