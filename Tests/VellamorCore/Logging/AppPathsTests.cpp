#include "Support/AppPaths.h"

#include "QtPrinters.h"
#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

using vellamor::AppPaths;
using vellamor::test::ScopedEnvironment;

namespace {

// Each case sets both variables afresh, so a location remembered from an
// earlier call would show as a wrong answer.
TEST(AppPaths, UnusableVariablesAreIgnored)
{
    struct Case {
        std::optional<QByteArray> home;
        std::optional<QByteArray> xdgStateHome;
        std::optional<QString> logFile;
    };
    const Case cases[] = {
        {"/home/someone", "/srv/state", QStringLiteral("/srv/state/vellamor/vellamor.log")},
        {std::nullopt, "/srv/state", QStringLiteral("/srv/state/vellamor/vellamor.log")},
        {"/home/someone", "/", QStringLiteral("/vellamor/vellamor.log")},
        {"/home/someone", std::nullopt, QStringLiteral("/home/someone/.local/state/vellamor/vellamor.log")},
        {"/home/someone", "", QStringLiteral("/home/someone/.local/state/vellamor/vellamor.log")},
        {"/home/someone", "relative/dir", QStringLiteral("/home/someone/.local/state/vellamor/vellamor.log")},
        {std::nullopt, std::nullopt, std::nullopt},
        {"", "", std::nullopt},
        {"not/absolute", "relative", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "HOME=" << (c.home ? c.home->constData() : "<unset>")
                                        << " XDG_STATE_HOME=" << (c.xdgStateHome ? c.xdgStateHome->constData() : "<unset>"));
        ScopedEnvironment home("HOME", c.home);
        ScopedEnvironment xdg("XDG_STATE_HOME", c.xdgStateHome);
        EXPECT_EQ(AppPaths::logFile(), c.logFile);
    }
}

} // namespace
