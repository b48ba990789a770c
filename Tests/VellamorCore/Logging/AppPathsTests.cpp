#include "Support/AppPaths.h"

#include "QtPrinters.h"
#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <functional>

using vellamor::AppPaths;
using vellamor::test::ScopedEnvironment;

namespace {

struct LocationCase {
    const char* name;
    const char* variable;
    std::function<std::optional<QString>()> location;
    const char* homeDefault; // below HOME, without the application folder
};

void PrintTo(const LocationCase& c, std::ostream* os) { *os << c.name; }

const LocationCase kLocations[] = {
    {"Log", "XDG_STATE_HOME", &AppPaths::logDirectory, "/.local/state"},
    {"ApplicationSupport", "XDG_DATA_HOME", &AppPaths::applicationSupportDirectory, "/.local/share"},
    {"Config", "XDG_CONFIG_HOME", &AppPaths::configDirectory, "/.config"},
};

class AppPathsLocations : public ::testing::TestWithParam<LocationCase> {};

TEST_P(AppPathsLocations, AbsoluteXdgVariableWins)
{
    const auto& c = GetParam();
    ScopedEnvironment home("HOME", QByteArray("/home/someone"));
    ScopedEnvironment xdg(c.variable, QByteArray("/srv/xdg/"));
    EXPECT_EQ(c.location(), QStringLiteral("/srv/xdg/vellamor"));
}

TEST_P(AppPathsLocations, EmptyOrRelativeXdgVariableFallsBackToHome)
{
    const auto& c = GetParam();
    ScopedEnvironment home("HOME", QByteArray("/home/someone"));
    const QString expected = QStringLiteral("/home/someone") + QLatin1String(c.homeDefault) + QStringLiteral("/vellamor");
    for (const auto& value : {std::optional<QByteArray>(), std::optional<QByteArray>(QByteArray("")),
                              std::optional<QByteArray>(QByteArray("relative/dir"))}) {
        ScopedEnvironment xdg(c.variable, value);
        EXPECT_EQ(c.location(), expected) << (value ? value->constData() : "<unset>");
    }
}

TEST_P(AppPathsLocations, NoHomeAndNoUsableXdgVariableGivesNone)
{
    const auto& c = GetParam();
    ScopedEnvironment xdg(c.variable, QByteArray("relative"));
    for (const auto& value : {std::optional<QByteArray>(), std::optional<QByteArray>(QByteArray("")),
                              std::optional<QByteArray>(QByteArray("not/absolute"))}) {
        ScopedEnvironment home("HOME", value);
        EXPECT_EQ(c.location(), std::nullopt) << (value ? value->constData() : "<unset>");
    }
}

TEST_P(AppPathsLocations, AbsoluteXdgVariableNeedsNoHome)
{
    const auto& c = GetParam();
    ScopedEnvironment home("HOME", std::nullopt);
    ScopedEnvironment xdg(c.variable, QByteArray("/srv/xdg"));
    EXPECT_EQ(c.location(), QStringLiteral("/srv/xdg/vellamor"));
}

TEST_P(AppPathsLocations, ReadsTheEnvironmentAtEachCall)
{
    const auto& c = GetParam();
    ScopedEnvironment xdg(c.variable, QByteArray("/first"));
    EXPECT_EQ(c.location(), QStringLiteral("/first/vellamor"));
    qputenv(c.variable, QByteArray("/second"));
    EXPECT_EQ(c.location(), QStringLiteral("/second/vellamor"));
}

INSTANTIATE_TEST_SUITE_P(Table, AppPathsLocations, ::testing::ValuesIn(kLocations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppPaths, LogFileIsInTheLogDirectory)
{
    ScopedEnvironment xdg("XDG_STATE_HOME", QByteArray("/var/tmp/state"));
    EXPECT_EQ(AppPaths::logFile(), QStringLiteral("/var/tmp/state/vellamor/vellamor.log"));
}

TEST(AppPaths, LogFileIsNoneWithoutHome)
{
    ScopedEnvironment xdg("XDG_STATE_HOME", std::nullopt);
    ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_EQ(AppPaths::logFile(), std::nullopt);
}

TEST(AppPaths, RootAsXdgFolderGivesNoDoubleSlash)
{
    ScopedEnvironment xdg("XDG_STATE_HOME", QByteArray("/"));
    EXPECT_EQ(AppPaths::logFile(), QStringLiteral("/vellamor/vellamor.log"));
}

} // namespace
