#include "Platform/SystemSettings/SystemSettingsCommands.h"

namespace vellamor::platform {

QList<SettingsCommand> SystemSettingsCommands::forAnchor(const QString& anchor)
{
    if (anchor == QStringLiteral("Privacy_Microphone")) {
        return {
            {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
            {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
            {QStringLiteral("pavucontrol"), {QStringLiteral("--tab=4")}},
        };
    }
    if (anchor == QStringLiteral("Privacy_Accessibility")) {
        return {
            {QStringLiteral("gnome-control-center"), {QStringLiteral("universal-access")}},
            {QStringLiteral("systemsettings"), {QStringLiteral("kcm_access")}},
        };
    }
    // Observing keys is a property of the display server; no desktop has a
    // page for it (Privacy_ListenEvent included).
    return {};
}

} // namespace vellamor::platform
