#include "DesktopTest.h"
#include "ManualSteadyClock.h"
#include "MappedFonts.h"

#include "I18n/LocaleResolver.h"
#include "Menu/MenuBarController.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/ThemeManager.h"
#include "Windows/FreedMemory.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>

namespace vellamor::test {
namespace {

bool clickAt(QPoint global, int button)
{
    return xdotool({ QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
        QStringLiteral("click"), QString::number(button) });
}

// The tray holds this process's icon.
bool iconInTray()
{
    QProcess tree;
    tree.start(QStringLiteral("sh"),
        { QStringLiteral("-c"),
            QStringLiteral("xwininfo -root -tree | grep -A8 '\"panel\" \"trayer\"' | grep -q '\"")
                + QCoreApplication::applicationName() + QStringLiteral("\"'") });
    tree.waitForFinished();
    return tree.exitStatus() == QProcess::NormalExit && tree.exitCode() == 0;
}

// The middle of the tray's only icon, with `button` (Qt reports an embedded
// icon's place inside the tray, so the tray's own window is asked).
bool clickTrayIcon(int button)
{
    return runTool(QStringLiteral("sh"),
        { QStringLiteral("-c"),
            QStringLiteral("xdotool mousemove --window \"$(xdotool search --name '^panel$' "
                           "| head -n 1)\" 12 12 click ")
                + QString::number(button) });
}

// The tray icon in the desktop's system tray, as a user meets it: its
// menu opens on a right click, and its entries open their windows.
TEST_F(DesktopTest, TheTrayIconsMenuOpensTheSettingsAndTheHistory)
{
    QTemporaryDir folder;
    auto defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    LocaleResolver locale;
    ThemeManager theme(defaults, nullptr);
    ManualSteadyClock clock;
    SettingsWindowController settings(
        {std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey()), theme, locale, WindowServices{},
         defaults, clock.sleeper(), DiagnosticsServices{}, {}, {}});
    int historyShown = 0;
    MenuBarController menuBar;
    menuBar.onOpenSettings = [&](const std::optional<QString>&) { settings.show(std::nullopt); };
    menuBar.onShowHistory = [&] { ++historyShown; };
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    menuBar.install();
    ASSERT_TRUE(waitUntil(iconInTray));

    const auto choose = [&](const QString& entry) {
        ASSERT_TRUE(clickTrayIcon(3));
        ASSERT_TRUE(waitUntil([&] { return menuBar.menu().isVisible(); }));
        QAction* action = nullptr;
        for (QAction* candidate : menuBar.menu().actions()) {
            if (candidate->text() == entry)
                action = candidate;
        }
        ASSERT_NE(action, nullptr) << entry.toStdString();
        ASSERT_TRUE(clickAt(menuBar.menu().mapToGlobal(menuBar.menu().actionGeometry(action).center()), 1));
        ASSERT_TRUE(waitUntil([&] { return !menuBar.menu().isVisible(); }));
    };
    choose(QStringLiteral("打开设置…"));
    EXPECT_TRUE(waitUntil([&] { return settings.window() && settings.window()->isVisible(); }));
    choose(QStringLiteral("历史记录"));
    EXPECT_TRUE(waitUntil([&] { return historyShown == 1; }));
}

// The tray's icon is a window that stays on screen all day: once every
// other window is hidden, the fonts they drew with go all the same.
TEST_F(DesktopTest, TheTrayIconKeepsNoFontOfTheHiddenWindows)
{
    MenuBarController menuBar;
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    menuBar.install();
    ASSERT_TRUE(waitUntil(iconInTray));
    const QWidgetList windows = QApplication::topLevelWidgets();
    ASSERT_TRUE(std::any_of(windows.cbegin(), windows.cend(), [](QWidget* window) { return window->isVisible(); }))
        << "the icon is a window of this process";

    const QSet<QString> before = mappedFontFiles();
    QLabel window(QStringLiteral("明天下午三点开会"));
    window.show();
    window.grab();
    const QSet<QString> drawnWith = mappedFontFiles() - before;
    ASSERT_FALSE(drawnWith.isEmpty());
    window.hide();
    returnFreedMemory();
    EXPECT_FALSE(mappedFontFiles().intersects(drawnWith)) << drawnWith.values().join(u' ').toStdString();
}

} // namespace
} // namespace vellamor::test
