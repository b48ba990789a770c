#include "DesktopTest.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

class InputMonitoringDesktopTest : public DesktopTest {};

TEST_F(InputMonitoringDesktopTest, XServerWithXInput2IsGranted)
{
    auto probe = std::make_shared<platform::X11InputMonitoringProbe>();
    EXPECT_EQ(probe->probe(), platform::InputMonitoringSupport::available);
    const PermissionChecker checker(probe);
    const PermissionState state = checker.inputMonitoring();
    EXPECT_EQ(state.status, VellamorPermissionStatus::granted);
    EXPECT_TRUE(state.explanation.isEmpty());
}

} // namespace
} // namespace vellamor::test
