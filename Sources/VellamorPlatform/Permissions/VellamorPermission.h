#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// The system permissions dictation needs, in their listing order.
enum class VellamorPermission { microphone, accessibility, inputMonitoring };

enum class VellamorPermissionStatus { notDetermined, denied, granted };

// A permission missing from the map has not been read.
using PermissionStatuses = QMap<VellamorPermission, VellamorPermissionStatus>;

QList<VellamorPermission> allPermissions();
QString rawValue(VellamorPermission permission);
std::optional<VellamorPermission> permissionFromRawValue(const QString& raw);
QString title(VellamorPermission permission);
QString rationale(VellamorPermission permission);
// The symbol windows draw for it: "mic.fill", "accessibility", "keyboard".
QString symbolName(VellamorPermission permission);
// The privacy page that grants it: "Privacy_Microphone", "Privacy_Accessibility",
// "Privacy_ListenEvent".
QString systemSettingsAnchor(VellamorPermission permission);

} // namespace vellamor
