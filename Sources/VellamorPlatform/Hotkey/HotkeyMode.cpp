#include "Hotkey/HotkeyMode.h"

namespace vellamor {

QString rawValue(HotkeyMode mode)
{
    return mode == HotkeyMode::hold ? QStringLiteral("hold") : QStringLiteral("toggle");
}

std::optional<HotkeyMode> hotkeyModeFromRawValue(const QString& raw)
{
    if (raw == QStringLiteral("hold"))
        return HotkeyMode::hold;
    if (raw == QStringLiteral("toggle"))
        return HotkeyMode::toggle;
    return std::nullopt;
}

} // namespace vellamor
