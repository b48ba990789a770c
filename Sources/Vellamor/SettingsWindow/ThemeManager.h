#pragma once

#include "Settings/UserDefaults.h"

#include <QString>

#include <memory>

namespace vellamor {

// The appearance the user chose under "com.vellamor.settings.themeMode".
class ThemeManager {
public:
    enum class Mode { system, light, dark };

    explicit ThemeManager(std::shared_ptr<UserDefaults> defaults);

    static QString modeKey() { return QStringLiteral("com.vellamor.settings.themeMode"); }

    // "light" and "dark" as stored; anything else follows the system.
    Mode mode() const;

private:
    std::shared_ptr<UserDefaults> defaults_;
};

} // namespace vellamor
