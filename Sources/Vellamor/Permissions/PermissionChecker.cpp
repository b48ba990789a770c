#include "Permissions/PermissionChecker.h"

namespace vellamor {

PermissionChecker::PermissionChecker(std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring)
    : PermissionChecker(std::move(inputMonitoring),
                        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission")))
{
}

PermissionChecker::PermissionChecker(std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring, VellamorLog log)
    : inputMonitoring_(std::move(inputMonitoring))
    , log_(std::move(log))
{
}

PermissionState PermissionChecker::inputMonitoring() const
{
    using Support = platform::InputMonitoringSupport;
    switch (inputMonitoring_->probe()) {
    case Support::available:
        return {VellamorPermissionStatus::granted, QString()};
    case Support::waylandSession:
        return {VellamorPermissionStatus::denied,
                QStringLiteral("当前是 Wayland 会话，Vellamor 无法在其中监听全局热键。请注销后选择 X11 会话登录。")};
    case Support::noDisplay:
        return {VellamorPermissionStatus::denied,
                QStringLiteral("未能连接到 X11 显示服务器，Vellamor 无法监听全局热键。")};
    case Support::noKeyObservation:
        return {VellamorPermissionStatus::denied,
                QStringLiteral("X11 显示服务器不支持 XInput 2.1，Vellamor 无法监听全局热键。")};
    }
    return {};
}

} // namespace vellamor
