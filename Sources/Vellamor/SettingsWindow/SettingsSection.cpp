#include "SettingsWindow/SettingsSection.h"

#include <array>
#include <utility>

namespace vellamor {

namespace {

constexpr std::array<std::pair<SettingsSection, const char*>, 8> names{{
    {SettingsSection::general, "general"},
    {SettingsSection::backend, "backend"},
    {SettingsSection::recording, "recording"},
    {SettingsSection::recognition, "recognition"},
    {SettingsSection::appearance, "appearance"},
    {SettingsSection::historyDict, "historyDict"},
    {SettingsSection::diagnostics, "diagnostics"},
    {SettingsSection::about, "about"},
}};

} // namespace

QString rawValue(SettingsSection section)
{
    for (const auto& [value, name] : names) {
        if (value == section)
            return QLatin1String(name);
    }
    return {};
}

std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw)
{
    for (const auto& [value, name] : names) {
        if (raw == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

} // namespace vellamor
