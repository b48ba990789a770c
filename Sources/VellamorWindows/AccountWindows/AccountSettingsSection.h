#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

namespace vellamor {

// The settings window's account section.
SettingsSectionDescriptor accountSettingsSection();

} // namespace vellamor
