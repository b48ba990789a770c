#include "DesktopTest.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Platform/SystemSettings/ProcessCommandLauncher.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

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
    EXPECT_EQ(checker.accessibility(), (PermissionState{VellamorPermissionStatus::granted, QString()}));

    ASSERT_TRUE(runTool(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, u"org.a11y.Bus"_s, u"--object-path"_s,
                                     u"/org/a11y/bus"_s, u"--method"_s, u"org.freedesktop.DBus.Properties.Set"_s,
                                     u"org.a11y.Status"_s, u"IsEnabled"_s, u"<false>"_s}));
    EXPECT_EQ(checker.accessibility().status, VellamorPermissionStatus::notDetermined);

    const PermissionState requested = checker.requestAccessibility();
    EXPECT_EQ(requested.status, VellamorPermissionStatus::granted);
    EXPECT_FALSE(requested.explanation.isEmpty());
    EXPECT_EQ(platform::DBusAccessibilityStatus().isEnabled(), true);
}

} // namespace
} // namespace vellamor::test
