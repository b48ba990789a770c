#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

namespace vellamor {

// The settings window's diagnostics and about sections.
QList<SettingsSectionDescriptor> diagnosticsSettingsSections();

} // namespace vellamor
