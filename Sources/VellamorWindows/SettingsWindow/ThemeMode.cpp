#include "SettingsWindow/ThemeMode.h"

namespace vellamor {

QString rawValue(ThemeMode mode)
{
    switch (mode) {
    case ThemeMode::system:
        return QStringLiteral("system");
    case ThemeMode::light:
        return QStringLiteral("light");
    case ThemeMode::dark:
        return QStringLiteral("dark");
    }
    return {};
}

std::optional<ThemeMode> themeModeFromRawValue(const QString& raw)
{
    for (const ThemeMode mode : allThemeModes) {
        if (raw == rawValue(mode))
            return mode;
    }
    return std::nullopt;
}

QString pickerLabel(ThemeMode mode)
{
    switch (mode) {
    case ThemeMode::system:
        return QStringLiteral("跟随系统");
    case ThemeMode::light:
        return QStringLiteral("亮色");
    case ThemeMode::dark:
        return QStringLiteral("暗色");
    }
    return {};
}

} // namespace vellamor
