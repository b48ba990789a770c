#include "Permissions/VellamorPermission.h"

namespace vellamor {

QList<VellamorPermission> allPermissions()
{
    return {VellamorPermission::microphone, VellamorPermission::accessibility, VellamorPermission::inputMonitoring};
}

QString rawValue(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("microphone");
    case VellamorPermission::accessibility:
        return QStringLiteral("accessibility");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("inputMonitoring");
    }
    return {};
}

std::optional<VellamorPermission> permissionFromRawValue(const QString& raw)
{
    for (VellamorPermission permission : allPermissions()) {
        if (rawValue(permission) == raw)
            return permission;
    }
    return std::nullopt;
}

QString title(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("麦克风");
    case VellamorPermission::accessibility:
        return QStringLiteral("辅助功能");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("输入监控");
    }
    return {};
}

QString rationale(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("Vellamor 需要访问麦克风以采集语音。");
    case VellamorPermission::accessibility:
        return QStringLiteral("Vellamor 需要辅助功能权限以模拟粘贴到光标位置。");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("Vellamor 需要输入监控权限以监听全局热键。");
    }
    return {};
}

QString symbolName(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("mic.fill");
    case VellamorPermission::accessibility:
        return QStringLiteral("accessibility");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("keyboard");
    }
    return {};
}

QString systemSettingsAnchor(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("Privacy_Microphone");
    case VellamorPermission::accessibility:
        return QStringLiteral("Privacy_Accessibility");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("Privacy_ListenEvent");
    }
    return {};
}

} // namespace vellamor
