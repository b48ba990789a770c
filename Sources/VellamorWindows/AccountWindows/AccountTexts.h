#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

// The account page's texts that the settings search finds too.
namespace vellamor::AccountTexts {

// The page's header, as a signed-out user sees it.
inline const SettingsRowText header{QStringLiteral("账户"), QStringLiteral("登录后可在多台设备间同步你的词典与历史")};

} // namespace vellamor::AccountTexts
