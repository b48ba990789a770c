#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// How the hotkey maps to dictation: held for the length of a session, or
// tapped once to start and once to stop.
enum class HotkeyMode { hold, toggle };

QString rawValue(HotkeyMode mode);
std::optional<HotkeyMode> hotkeyModeFromRawValue(const QString& raw);

} // namespace vellamor
