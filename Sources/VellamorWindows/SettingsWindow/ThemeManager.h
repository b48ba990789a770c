#pragma once

#include "Platform/Appearance/ColorSchemeSource.h"
#include "Settings/UserDefaults.h"
#include "SettingsWindow/ThemeMode.h"
#include "Support/Async/Published.h"

#include <QPalette>
#include <QString>

#include <memory>

namespace vellamor {

// The appearance the user chose, kept under "com.vellamor.settings.themeMode"
// and applied to the whole application. "system" gives back the style and
// palette the application started with, switched to dark or light only
// when the desktop states a preference the starting palette does not
// follow. Main thread only; needs the application object.
class ThemeManager {
public:
    // Reads the stored mode and notes the starting look; writes and applies
    // nothing. A null `colorScheme` states no preference.
    ThemeManager(std::shared_ptr<UserDefaults> defaults, std::shared_ptr<platform::ColorSchemeSource> colorScheme);

    ~ThemeManager();

    ThemeManager(const ThemeManager&) = delete;
    ThemeManager& operator=(const ThemeManager&) = delete;

    static QString modeKey() { return QStringLiteral("com.vellamor.settings.themeMode"); }

    ThemeMode mode() const { return mode_.value(); }
    [[nodiscard]] Subscription subscribe(Published<ThemeMode>::Callback callback);

    // Subscribers hear every choice; only a new mode is stored and applied.
    void setMode(ThemeMode mode);

    // Gives the application the look of the current mode, whatever it has now.
    void apply();

private:
    bool wantsDark() const;

    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<platform::ColorSchemeSource> colorScheme_;
    Published<ThemeMode> mode_;
    QString startStyle_;
    QPalette startPalette_;
    bool startedDark_;
};

} // namespace vellamor
