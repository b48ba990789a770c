#include "FakeInputMonitoringProbe.h"
#include "QtPrinters.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"

#include <gmock/gmock.h>

#include <memory>

namespace vellamor::test {
namespace {

using platform::InputMonitoringSupport;

PermissionChecker checkerAnswering(const std::shared_ptr<FakeInputMonitoringProbe>& probe)
{
    return PermissionChecker(probe, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"),
                                                nullptr, nullptr));
}

TEST(PermissionChecker, InputMonitoringFollowsWhatTheDisplayOffers)
{
    struct Row {
        InputMonitoringSupport support;
        VellamorPermissionStatus status;
        const char* mentions;
    };
    const Row rows[] = {
        {InputMonitoringSupport::available, VellamorPermissionStatus::granted, nullptr},
        {InputMonitoringSupport::waylandSession, VellamorPermissionStatus::denied, "Wayland"},
        {InputMonitoringSupport::noDisplay, VellamorPermissionStatus::denied, "X11"},
        {InputMonitoringSupport::noKeyObservation, VellamorPermissionStatus::denied, "XInput 2.1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.support));
        auto probe = std::make_shared<FakeInputMonitoringProbe>(row.support);
        const PermissionState state = checkerAnswering(probe).inputMonitoring();
        EXPECT_EQ(state.status, row.status);
        if (row.mentions)
            EXPECT_TRUE(state.explanation.contains(QString::fromUtf8(row.mentions))) << state.explanation.toStdString();
        else
            EXPECT_TRUE(state.explanation.isEmpty());
    }
}

TEST(PermissionChecker, AsksAgainEveryTime)
{
    auto probe = std::make_shared<FakeInputMonitoringProbe>(InputMonitoringSupport::noDisplay);
    const PermissionChecker checker = checkerAnswering(probe);
    EXPECT_EQ(checker.inputMonitoring().status, VellamorPermissionStatus::denied);
    probe->answer = InputMonitoringSupport::available;
    EXPECT_EQ(checker.inputMonitoring().status, VellamorPermissionStatus::granted);
    EXPECT_EQ(probe->calls, 2);
}

TEST(VellamorPermission, RawValuesTitlesAndOrder)
{
    EXPECT_THAT(allPermissions(), ::testing::ElementsAre(VellamorPermission::microphone,
                                                         VellamorPermission::accessibility,
                                                         VellamorPermission::inputMonitoring));
    for (VellamorPermission permission : allPermissions())
        EXPECT_EQ(permissionFromRawValue(rawValue(permission)), permission);
    EXPECT_EQ(rawValue(VellamorPermission::inputMonitoring), QStringLiteral("inputMonitoring"));
    EXPECT_FALSE(permissionFromRawValue(QStringLiteral("InputMonitoring")));
    EXPECT_EQ(title(VellamorPermission::inputMonitoring), QStringLiteral("输入监控"));
    EXPECT_EQ(rationale(VellamorPermission::inputMonitoring), QStringLiteral("Vellamor 需要输入监控权限以监听全局热键。"));
}

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    QProcessEnvironment env;
    for (const auto& [name, value] : entries)
        env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return env;
}

TEST(X11InputMonitoringProbe, WaylandSessionOrMissingDisplayRulesItOut)
{
    struct Row {
        QProcessEnvironment env;
        InputMonitoringSupport expected;
    };
    const Row rows[] = {
        // XWayland's DISPLAY does not make global keys visible.
        {environment({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}), InputMonitoringSupport::waylandSession},
        {environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), InputMonitoringSupport::waylandSession},
        {environment({}), InputMonitoringSupport::noDisplay},
        {environment({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":4242"}}), InputMonitoringSupport::noDisplay},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.env.toStringList().join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(platform::X11InputMonitoringProbe(row.env).probe(), row.expected);
    }
}

} // namespace
} // namespace vellamor::test
