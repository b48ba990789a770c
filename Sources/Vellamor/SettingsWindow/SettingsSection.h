#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// The pages of the settings window, in their order.
enum class SettingsSection { general, backend, recording, recognition, appearance, historyDict, diagnostics, about };

QString rawValue(SettingsSection section);
// None for a text that names no page.
std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw);

} // namespace vellamor
