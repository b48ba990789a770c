#include "DesktopTest.h"
#include "WaitUntil.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Platform/SystemSettings/ProcessCommandLauncher.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

PermissionChecker sessionChecker()
{
    return PermissionChecker({std::make_shared<platform::X11InputMonitoringProbe>(),
                              std::make_shared<platform::PulseSoundServer>(),
                              std::make_shared<platform::DBusAccessibilityStatus>(),
                              std::make_shared<platform::ProcessCommandLauncher>()});
}

using InputMonitoringDesktopTest = DesktopTest;

TEST_F(InputMonitoringDesktopTest, XServerWithXInput2IsGranted)
{
    const PermissionChecker checker = sessionChecker();
    EXPECT_EQ(checker.inputMonitoring(), (PermissionState{VellamorPermissionStatus::granted, QString()}));
}

class AccessibilityDesktopTest : public DesktopTest {
protected:
    void TearDown() override
    {
        // The session's other suites expect AT-SPI on.
        platform::DBusAccessibilityStatus().enable();
        DesktopTest::TearDown();
    }
};

TEST_F(AccessibilityDesktopTest, SwitchedOnSessionIsGrantedAndARequestSwitchesItBackOn)
{
    const PermissionChecker checker = sessionChecker();
    // The switch's answers arrive on later turns.
    EXPECT_EVENTUALLY_EQ(checker.accessibility(), (PermissionState{VellamorPermissionStatus::granted, QString()}));

    ASSERT_TRUE(runTool(QStringLiteral("gdbus"),
        { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("--object-path"), QStringLiteral("/org/a11y/bus"), QStringLiteral("--method"),
            QStringLiteral("org.freedesktop.DBus.Properties.Set"), QStringLiteral("org.a11y.Status"),
            QStringLiteral("IsEnabled"), QStringLiteral("<false>") }));
    EXPECT_EVENTUALLY_EQ(checker.accessibility().status, VellamorPermissionStatus::notDetermined);

    const PermissionState requested = checker.requestAccessibility();
    EXPECT_EQ(requested.status, VellamorPermissionStatus::granted);
    EXPECT_FALSE(requested.explanation.isEmpty());
    const platform::DBusAccessibilityStatus fresh;
    EXPECT_EVENTUALLY_EQ(fresh.isEnabled(), std::optional<bool>(true));
}

} // namespace
} // namespace vellamor::test
