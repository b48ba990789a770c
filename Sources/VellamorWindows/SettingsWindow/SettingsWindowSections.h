#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

namespace vellamor {

// The sections whose pages the settings window keeps itself: general,
// recording, recognition, appearance, history and dictionary.
QList<SettingsSectionDescriptor> settingsWindowSections();

} // namespace vellamor
