#pragma once

#include "WidgetRendering.h"

#include "Settings/UserDefaults.h"
#include "SettingsWindow/ThemeManager.h"

#include <QTemporaryDir>

namespace vellamor::test {

// Saves `view` as `<name>-light.png` and `<name>-dark.png` in
// $VELLAMOR_SCREENSHOT_DIR, then gives the application its starting look.
inline void renderInBothAppearances(QWidget& view, const QString& name)
{
    QTemporaryDir folder;
    ThemeManager theme(std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini"))), nullptr);
    for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
        theme.setMode(mode);
        settleWidgets();
        renderView(view, name + u'-' + rawValue(mode));
    }
    theme.setMode(ThemeMode::system);
    settleWidgets();
}

} // namespace vellamor::test
