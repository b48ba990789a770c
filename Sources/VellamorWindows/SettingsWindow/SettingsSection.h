#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vellamor {

// The pages of the settings window, in sidebar order. What each one is
// lives in its descriptor (SettingsSectionDescriptor.h).
enum class SettingsSection { general, backend, recording, recognition, appearance, historyDict, diagnostics, about };

inline constexpr std::array<SettingsSection, 8> allSettingsSections{
    SettingsSection::general,    SettingsSection::backend,     SettingsSection::recording,
    SettingsSection::recognition, SettingsSection::appearance, SettingsSection::historyDict,
    SettingsSection::diagnostics, SettingsSection::about,
};

QString rawValue(SettingsSection section);
// None for a text that names no page; the raw values compare exactly.
std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw);

// The sidebar's label ("常规", …), also matched by the search.
QString sidebarLabel(SettingsSection section);
// The symbol drawn beside the label.
QString sidebarIcon(SettingsSection section);

} // namespace vellamor
