#include "SettingsWindow/SettingsSection.h"

#include "AccountWindows/AccountSettingsSection.h"
#include "Diagnostics/DiagnosticsSettingsSections.h"
#include "SettingsWindow/SettingsSectionDescriptor.h"
#include "SettingsWindow/SettingsWindowSections.h"

#include <algorithm>

namespace vellamor {

namespace {

QList<SettingsSectionDescriptor> collectSections()
{
    QList<SettingsSectionDescriptor> all = settingsWindowSections();
    all.append(accountSettingsSection());
    all.append(diagnosticsSettingsSections());
    std::ranges::sort(all, {}, [](const SettingsSectionDescriptor& descriptor) {
        return std::ranges::find(allSettingsSections, descriptor.section) - allSettingsSections.begin();
    });
    return all;
}

} // namespace

const QList<SettingsSectionDescriptor>& settingsSections()
{
    static const QList<SettingsSectionDescriptor> all = collectSections();
    return all;
}

const SettingsSectionDescriptor& settingsSection(SettingsSection section)
{
    return *std::ranges::find(settingsSections(), section, &SettingsSectionDescriptor::section);
}

QString rawValue(SettingsSection section)
{
    return settingsSection(section).rawValue;
}

std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw)
{
    for (const SettingsSectionDescriptor& descriptor : settingsSections()) {
        if (raw == descriptor.rawValue)
            return descriptor.section;
    }
    return std::nullopt;
}

QString sidebarLabel(SettingsSection section)
{
    return settingsSection(section).label;
}

QString sidebarIcon(SettingsSection section)
{
    return settingsSection(section).symbol;
}

} // namespace vellamor
