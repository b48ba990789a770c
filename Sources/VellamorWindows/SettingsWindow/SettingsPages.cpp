#include "SettingsWindow/SettingsPages.h"

#include "SettingsWindow/SettingsSectionDescriptor.h"

namespace vellamor {

QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent)
{
    return settingsSection(section).makePage(context, parent);
}

} // namespace vellamor
