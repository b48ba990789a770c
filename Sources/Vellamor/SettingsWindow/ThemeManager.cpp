#include "SettingsWindow/ThemeManager.h"

namespace vellamor {

ThemeManager::ThemeManager(std::shared_ptr<UserDefaults> defaults)
    : defaults_(std::move(defaults))
{
}

ThemeManager::Mode ThemeManager::mode() const
{
    const QString stored = defaults_->string(modeKey()).value_or(QString());
    if (stored == u"light")
        return Mode::light;
    if (stored == u"dark")
        return Mode::dark;
    return Mode::system;
}

} // namespace vellamor
