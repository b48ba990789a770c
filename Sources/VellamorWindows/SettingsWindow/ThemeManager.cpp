#include "SettingsWindow/ThemeManager.h"

#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QStyle>

namespace vellamor {

namespace {

const QString fusion = QStringLiteral("Fusion");

// Fusion's own palette is the light one.
QPalette darkPalette(QPalette palette)
{
    const QColor window(0x2b, 0x2b, 0x2b);
    const QColor base(0x1e, 0x1e, 0x1e);
    const QColor text(0xe6, 0xe6, 0xe6);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8c, 0x8c, 0x8c));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    // The bevels and the etching of disabled text: the light palette's
    // white would stand out of a dark window.
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    palette.setColor(QPalette::Midlight, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x55));
    palette.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
    // Each colour above was set for every group; a disabled control gets
    // dimmed ones of its own, and no etching to smear its text.
    const QColor dimmed(0x80, 0x80, 0x80);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x33, 0x33, 0x33));
    palette.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
    return palette;
}

ThemeMode storedMode(const UserDefaults& defaults)
{
    return themeModeFromRawValue(defaults.string(ThemeManager::modeKey()).value_or(QString())).value_or(ThemeMode::system);
}

void setLook(const QString& style, const QPalette& palette)
{
    if (QApplication::style()->name().compare(style, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(style);
    if (QApplication::palette() != palette)
        QApplication::setPalette(palette);
}

} // namespace

ThemeManager::ThemeManager(std::shared_ptr<UserDefaults> defaults,
                           std::shared_ptr<platform::ColorSchemeSource> colorScheme)
    : defaults_(std::move(defaults))
    , colorScheme_(std::move(colorScheme))
    , mode_(storedMode(*defaults_))
    , startStyle_(QApplication::style()->name())
    , startPalette_(QApplication::palette())
    , startedDark_(WindowTheme::isDark())
{
    if (colorScheme_) {
        colorScheme_->setOnChange([this](platform::ColorScheme) {
            if (mode() == ThemeMode::system)
                apply();
        });
    }
}

ThemeManager::~ThemeManager()
{
    if (colorScheme_)
        colorScheme_->setOnChange(nullptr);
}

Subscription ThemeManager::subscribe(Published<ThemeMode>::Callback callback)
{
    return mode_.subscribe(std::move(callback));
}

void ThemeManager::setMode(ThemeMode mode)
{
    const ThemeMode previous = mode_.value();
    mode_ = mode;
    if (mode == previous)
        return;
    defaults_->setString(modeKey(), rawValue(mode));
    apply();
}

bool ThemeManager::wantsDark() const
{
    switch (mode()) {
    case ThemeMode::light:
        return false;
    case ThemeMode::dark:
        return true;
    case ThemeMode::system:
        break;
    }
    const platform::ColorScheme scheme =
        colorScheme_ ? colorScheme_->current() : platform::ColorScheme::noPreference;
    if (scheme == platform::ColorScheme::noPreference)
        return startedDark_;
    return scheme == platform::ColorScheme::dark;
}

void ThemeManager::apply()
{
    const bool dark = wantsDark();
    if (dark == startedDark_) {
        setLook(startStyle_, startPalette_);
        return;
    }
    if (QApplication::style()->name().compare(fusion, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(fusion);
    const QPalette light = QApplication::style()->standardPalette();
    setLook(fusion, dark ? darkPalette(light) : light);
}

} // namespace vellamor
