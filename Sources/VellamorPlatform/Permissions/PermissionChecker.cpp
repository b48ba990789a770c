#include "Permissions/PermissionChecker.h"

#include "Platform/SystemSettings/SystemSettingsCommands.h"

#include <algorithm>

namespace vellamor {

namespace {

VellamorLog permissionLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"));
}

} // namespace

PermissionChecker::PermissionChecker(Facilities facilities)
    : PermissionChecker(std::move(facilities), permissionLog())
{
}

PermissionChecker::PermissionChecker(Facilities facilities, VellamorLog log)
    : facilities_(std::move(facilities))
    , log_(std::move(log))
{
}

QCoro::Task<PermissionStatuses> PermissionChecker::snapshot() const
{
    // Asked anew and awaited: at start the switch has not answered yet.
    const std::shared_ptr<platform::AccessibilityStatus> status = facilities_.accessibility;
    const std::optional<bool> enabled = co_await status->askEnabled();
    PermissionStatuses statuses {
        {VellamorPermission::accessibility, accessibilityState(enabled).status},
        {VellamorPermission::inputMonitoring, inputMonitoring().status},
    };
    const PermissionState microphoneNow = co_await microphone();
    statuses.insert(VellamorPermission::microphone, microphoneNow.status);
    co_return statuses;
}

PermissionState PermissionChecker::microphoneState(const platform::SoundServerSnapshot& snapshot)
{
    if (!snapshot.reachable) {
        return {VellamorPermissionStatus::denied,
                QStringLiteral("未能连接到声音服务器（PulseAudio 或 PipeWire），Vellamor 无法录音。")};
    }
    const bool hasMicrophone = std::any_of(snapshot.sources.begin(), snapshot.sources.end(),
                                           [](const platform::SoundSource& s) { return !s.isMonitor && s.channels > 0; });
    if (!hasMicrophone)
        return {VellamorPermissionStatus::denied, QStringLiteral("声音服务器上没有可用的麦克风。")};
    return {VellamorPermissionStatus::granted, QString()};
}

QCoro::Task<PermissionState> PermissionChecker::microphone() const
{
    const std::shared_ptr<platform::SoundServer> server = facilities_.soundServer;
    co_return microphoneState(co_await server->snapshot());
}

QCoro::Task<PermissionState> PermissionChecker::requestMicrophone() const
{
    co_return co_await microphone();
}

PermissionState PermissionChecker::accessibility() const
{
    return accessibilityState(facilities_.accessibility->isEnabled());
}

PermissionState PermissionChecker::accessibilityState(std::optional<bool> enabled)
{
    if (!enabled) {
        return {VellamorPermissionStatus::notDetermined,
                QStringLiteral("无法查询辅助功能支持（AT-SPI）的状态：会话总线没有应答。")};
    }
    if (!*enabled) {
        return {VellamorPermissionStatus::notDetermined,
                QStringLiteral("辅助功能支持（AT-SPI）尚未开启，Vellamor 无法把文字写入其他应用。")};
    }
    return {VellamorPermissionStatus::granted, QString()};
}

PermissionState PermissionChecker::requestAccessibility() const
{
    const PermissionState before = accessibility();
    if (before.status == VellamorPermissionStatus::granted)
        return before;
    if (!facilities_.accessibility->enable())
        log_.warn(QStringLiteral("cannot switch accessibility support on"));
    const PermissionState after = accessibility();
    if (after.status != VellamorPermissionStatus::granted)
        return after;
    return {VellamorPermissionStatus::granted,
            QStringLiteral("已开启辅助功能支持。请重新启动已经打开的应用，Vellamor 才能把文字写入其中。")};
}

PermissionState PermissionChecker::inputMonitoring() const
{
    using Support = platform::InputMonitoringSupport;
    switch (facilities_.inputMonitoring->probe()) {
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

bool PermissionChecker::openSystemSettings(VellamorPermission permission) const
{
    for (const platform::SettingsCommand& command :
         platform::SystemSettingsCommands::forAnchor(systemSettingsAnchor(permission))) {
        if (!facilities_.launcher->isInstalled(command.program))
            continue;
        if (facilities_.launcher->launch(command.program, command.arguments))
            return true;
        log_.warn(QStringLiteral("cannot start ") + command.program);
    }
    log_.warn(QStringLiteral("invalid settings url for ") + rawValue(permission));
    return false;
}

} // namespace vellamor
