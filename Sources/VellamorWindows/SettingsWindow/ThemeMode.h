#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vellamor {

// The appearance the user chose for the windows, in the picker's order.
enum class ThemeMode { system, light, dark };

inline constexpr std::array<ThemeMode, 3> allThemeModes{ThemeMode::system, ThemeMode::light, ThemeMode::dark};

// "system", "light", "dark".
QString rawValue(ThemeMode mode);
// Exact raw values only: "Dark" is no mode.
std::optional<ThemeMode> themeModeFromRawValue(const QString& raw);
// "跟随系统", "亮色", "暗色".
QString pickerLabel(ThemeMode mode);

} // namespace vellamor
