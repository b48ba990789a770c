#include "FakeAccessibilityStatus.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakePasteboard.h"
#include "FakeSoundServer.h"
#include "FakeWorkspace.h"
#include "ManualSteadyClock.h"
#include "WidgetRendering.h"

#include "Permissions/PermissionChecker.h"
#include "Platform/Appearance/PortalColorSchemeSource.h"
#include "SettingsWindow/AppearancePage.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/SidebarRow.h"
#include "SettingsWindow/ThemeManager.h"
#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using enum SettingsSection;

// Counts the writes of the theme's key.
class CountingDefaults final : public UserDefaults {
public:
    using UserDefaults::UserDefaults;
    bool setString(const QString& key, const QString& value) override
    {
        if (key == ThemeManager::modeKey())
            ++themeWrites;
        return UserDefaults::setString(key, value);
    }
    int themeWrites = 0;
};

class FakeColorScheme final : public platform::ColorSchemeSource {
public:
    platform::ColorScheme current() const override { return scheme; }
    void setOnChange(std::function<void(platform::ColorScheme)> onChange) override { this->onChange = onChange; }
    void change(platform::ColorScheme next)
    {
        scheme = next;
        if (onChange)
            onChange(next);
    }
    platform::ColorScheme scheme = platform::ColorScheme::noPreference;
    std::function<void(platform::ColorScheme)> onChange;
};

class SettingsWindowTest : public ::testing::Test {
protected:
    ~SettingsWindowTest() override
    {
        controller.reset();
        // Lets the cancelled toast waits end.
        settleWidgets();
        theme->setMode(ThemeMode::system);
        theme->apply();
    }

    SettingsWindowController::Dependencies dependencies()
    {
        return {store, *theme, locale, WindowServices{}, defaults, clock.sleeper(), diagnosticsServices(), {}, {}};
    }

    // A desktop where nothing is granted.
    static DiagnosticsServices diagnosticsServices()
    {
        auto checker = std::make_shared<PermissionChecker>(PermissionChecker::Facilities{
            std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available),
            std::make_shared<FakeSoundServer>(), std::make_shared<FakeAccessibilityStatus>(false),
            std::make_shared<FakeCommandLauncher>()});
        return {checker, std::make_shared<FakePasteboard>(), std::make_shared<FakeWorkspace>(), std::nullopt, {}};
    }

    SettingsWindow& window() { return *controller->window(); }

    QStringList pageTexts() { return shownTexts(*window().page(), standardText); }

    QList<SettingsSection> dottedSections()
    {
        QList<SettingsSection> dotted;
        for (SidebarRow* row : window().sidebarRows()) {
            if (row->isHit())
                dotted.append(row->section());
        }
        return dotted;
    }

    QTemporaryDir folder;
    std::shared_ptr<CountingDefaults> defaults
        = std::make_shared<CountingDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey());
    LocaleResolver locale;
    std::shared_ptr<FakeColorScheme> colorScheme = std::make_shared<FakeColorScheme>();
    std::unique_ptr<ThemeManager> theme = std::make_unique<ThemeManager>(defaults, colorScheme);
    ManualSteadyClock clock;
    std::unique_ptr<SettingsWindowController> controller = std::make_unique<SettingsWindowController>(dependencies());
};

TEST_F(SettingsWindowTest, OpensOnTheRequestedSectionAndKeepsItsStateWhenClosed)
{
    EXPECT_EQ(controller->window(), nullptr);
    controller->show(std::nullopt);
    settleWidgets();
    SettingsWindow* built = controller->window();
    ASSERT_NE(built, nullptr);
    EXPECT_TRUE(built->isVisible());
    EXPECT_EQ(built->windowTitle(), QStringLiteral("Vellamor 设置"));
    EXPECT_EQ(built->size(), QSize(820, 560));
    EXPECT_EQ(built->minimumSize(), QSize(680, 460));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((built->geometry().center() - screenCentre).manhattanLength(), 10);
    EXPECT_EQ(window().shownSection(), general);
    EXPECT_EQ(pageTexts().first(), QStringLiteral("常规"));

    controller->show(diagnostics);
    EXPECT_EQ(window().shownSection(), diagnostics);
    settleWidgets();
    EXPECT_EQ(pageTexts().first(), QStringLiteral("诊断与日志"));

    window().sidebarRows()[3]->click();
    EXPECT_EQ(controller->selection.value(), recognition);
    EXPECT_EQ(window().shownSection(), recognition);
    for (SidebarRow* row : window().sidebarRows())
        EXPECT_EQ(row->isSelectedRow(), row->section() == recognition);
    window().searchField().setText(QStringLiteral("zzz"));

    // Showing the open window again rebuilds nothing.
    QWidget* page = window().page();
    controller->show(std::nullopt);
    EXPECT_EQ(window().page(), page);

    window().close();
    settleWidgets();
    EXPECT_FALSE(built->isVisible());
    controller->show(std::nullopt);
    EXPECT_EQ(controller->window(), built);
    EXPECT_TRUE(built->isVisible());
    EXPECT_EQ(window().shownSection(), recognition);
    EXPECT_EQ(window().searchField().text(), QStringLiteral("zzz"));
    EXPECT_NE(window().page(), page) << "a page coming back on screen is built anew";
}

TEST_F(SettingsWindowTest, SearchDotsTheSectionsItFindsAndLeavesTheShownOneWhileItIsAHit)
{
    controller->show(about);
    QLineEdit& field = window().searchField();
    EXPECT_EQ(field.placeholderText(), QStringLiteral("搜索设置"));

    field.setText(QStringLiteral("润色"));
    EXPECT_EQ(window().shownSection(), general);
    EXPECT_EQ(dottedSections(), (QList<SettingsSection>{general, recognition}));

    window().sidebarRows()[3]->click();
    field.setText(QStringLiteral("润色 "));
    EXPECT_EQ(window().shownSection(), recognition);

    field.setText(QStringLiteral("   "));
    EXPECT_TRUE(dottedSections().isEmpty());
    field.setText(QStringLiteral("no such thing"));
    EXPECT_TRUE(dottedSections().isEmpty());
    field.clear();
    EXPECT_EQ(window().shownSection(), recognition);

    // Ctrl+F puts the cursor in the field with its text selected.
    field.setText(QStringLiteral("Dark"));
    EXPECT_EQ(window().shownSection(), appearance);
    window().sidebarRows()[0]->setFocus();
    auto* find = window().findChild<QShortcut*>();
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->key(), QKeySequence(QKeySequence::Find));
    Q_EMIT find->activated();
    EXPECT_EQ(field.selectedText(), QStringLiteral("Dark"));
}

TEST_F(SettingsWindowTest, TheToastStaysUntil800msAfterTheLastSavedChange)
{
    controller->show(std::nullopt);
    SettingsStoreObservable& obs = window().binding();
    obs.enableLLMPolish.set(false);
    EXPECT_TRUE(window().savedToastVisible());
    clock.advance(500ms);
    obs.language.set(QStringLiteral("en"));
    obs.scene.set(QStringLiteral("email"));
    settleWidgets();
    clock.advance(799ms);
    settleWidgets();
    EXPECT_TRUE(window().savedToastVisible());
    clock.advance(1ms);
    settleWidgets();
    EXPECT_FALSE(window().savedToastVisible());

    // An equal value shows nothing.
    const int sleeps = clock.sleepsBegun();
    obs.scene.set(QStringLiteral("email"));
    EXPECT_FALSE(window().savedToastVisible());
    EXPECT_EQ(clock.sleepsBegun(), sleeps);
}

TEST_F(SettingsWindowTest, AWindowLeftClosedIsReleasedAndComesBackWithItsSelectionQueryAndFrame)
{
    controller->show(recognition);
    settleWidgets();
    window().searchField().setText(QStringLiteral("麦克风"));
    window().sidebarRows()[4]->click();
    // Only a frame that fits the screen comes back; the offscreen screen is
    // 800 x 600, narrower than the default frame.
    window().resize(window().minimumSize());
    window().move(0, 20);
    const QRect frame = window().geometry();
    window().close();
    settleWidgets();
    clock.advance(ClosedWindowRelease::delay);
    settleWidgets();
    ASSERT_EQ(controller->window(), nullptr);

    controller->show(std::nullopt);
    settleWidgets();
    EXPECT_EQ(window().shownSection(), appearance);
    EXPECT_EQ(window().searchField().text(), QStringLiteral("麦克风"));
    EXPECT_EQ(window().geometry(), frame);
}

TEST_F(SettingsWindowTest, TheLanguageChoiceReachesTheProcessAndTheWindowAtOnce)
{
    controller->show(std::nullopt);
    window().binding().language.set(QStringLiteral("en"));
    EXPECT_EQ(locale.languageCode(), QStringLiteral("en"));
    EXPECT_EQ(window().locale().language(), QLocale::English);
    window().binding().language.set(QStringLiteral("zh"));
    EXPECT_EQ(window().locale().language(), QLocale::Chinese);
    window().binding().language.set(QStringLiteral("auto"));
    EXPECT_EQ(locale.languageCode(), QStringLiteral("auto"));
    EXPECT_EQ(window().locale(), QLocale::system());
}

TEST_F(SettingsWindowTest, TheFrameComesBackInTheNextRun)
{
    controller->show(std::nullopt);
    // A frame that fits the test screen (800 × 600 on the offscreen platform).
    window().setGeometry(10, 20, 760, 500);
    window().close();
    controller = std::make_unique<SettingsWindowController>(dependencies());
    controller->show(std::nullopt);
    EXPECT_EQ(window().geometry(), QRect(10, 20, 760, 500));
}

TEST_F(SettingsWindowTest, ASavedFrameThatDoesNotFitAScreenGivesWayToTheDefaultSizeCentred)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect fits(available.topLeft() + QPoint(10, 10), QSize(700, 480));
    const struct {
        const char* name;
        QRect saved;
        bool kept;
    } cases[] = {
        {"absurd", QRect(-1994, -2439, 32767, 32767), false},
        {"off the screen", QRect(available.right() + 100, 40, 700, 480), false},
        {"partly off", QRect(available.right() - 100, 40, 700, 480), false},
        {"fits", fits, true},
        {"not a frame", QRect(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget earlier;
        earlier.setGeometry(c.saved);
        defaults->setData(
            SettingsWindow::frameKey(), c.saved.isValid() ? earlier.saveGeometry() : QByteArrayLiteral("garbage"));
        controller = std::make_unique<SettingsWindowController>(dependencies());
        controller->show(std::nullopt);
        const QRect shown = window().geometry();
        if (c.kept) {
            EXPECT_EQ(shown.size(), c.saved.size());
            EXPECT_TRUE(available.contains(shown));
        } else {
            EXPECT_EQ(shown.size(), QSize(820, 560));
            EXPECT_LE((shown.center() - available.center()).manhattanLength(), 6);
        }
        controller.reset();
    }
}

TEST_F(SettingsWindowTest, ThePickerSwitchesLightAndDarkAndSystemGivesBackTheStartingLook)
{
    const QPalette startPalette = QApplication::palette();
    const QString startStyle = QApplication::style()->name();
    ASSERT_FALSE(WindowTheme::isDark());

    controller->show(appearance);
    auto* page = qobject_cast<AppearancePage*>(window().page());
    ASSERT_NE(page, nullptr);
    QComboBox& picker = page->themePicker();
    EXPECT_EQ(picker.currentText(), QStringLiteral("跟随系统"));
    EXPECT_EQ(picker.width(), 130);
    EXPECT_EQ(pageTexts(),
        (QStringList { QStringLiteral("外观"), QStringLiteral("主题与灵动岛位置"), QStringLiteral("主题"),
            QStringLiteral("外观主题"), QStringLiteral("灵动岛始终使用深色背景，与系统托盘一致"),
            QStringLiteral("灵动岛位置"), QStringLiteral("灵动岛始终出现在主屏顶部居中，距屏幕顶部 14pt") }));
    settleWidgets();
    renderView(window(), QStringLiteral("settings-light"));

    Q_EMIT picker.activated(2);
    EXPECT_EQ(defaults->string(ThemeManager::modeKey()), QStringLiteral("dark"));
    EXPECT_TRUE(WindowTheme::isDark());
    settleWidgets();
    renderView(window(), QStringLiteral("settings-dark"));

    // Only the user's pick writes; moving the picker from code does not.
    picker.setCurrentIndex(1);
    EXPECT_EQ(theme->mode(), ThemeMode::dark);
    Q_EMIT picker.activated(1);
    EXPECT_FALSE(WindowTheme::isDark());
    Q_EMIT picker.activated(0);
    Q_EMIT picker.activated(0);
    EXPECT_EQ(defaults->themeWrites, 3);
    EXPECT_EQ(defaults->string(ThemeManager::modeKey()), QStringLiteral("system"));
    EXPECT_EQ(QApplication::style()->name(), startStyle);
    EXPECT_EQ(QApplication::palette(), startPalette);

    // Following the system, the desktop's stated preference wins.
    colorScheme->change(platform::ColorScheme::dark);
    EXPECT_TRUE(WindowTheme::isDark());
    colorScheme->change(platform::ColorScheme::noPreference);
    EXPECT_EQ(QApplication::palette(), startPalette);
}

TEST_F(SettingsWindowTest, AStoredModeIsReadExactlyAndNeitherWrittenNorAppliedAtStart)
{
    const QPalette startPalette = QApplication::palette();
    for (const auto& [stored, mode] : { std::pair { QStringLiteral("dark"), ThemeMode::dark },
             std::pair { QStringLiteral("Dark"), ThemeMode::system },
             std::pair { QStringLiteral("light"), ThemeMode::light } }) {
        defaults->setString(ThemeManager::modeKey(), stored);
        const int writes = defaults->themeWrites;
        ThemeManager read(defaults, nullptr);
        EXPECT_EQ(read.mode(), mode);
        EXPECT_EQ(defaults->themeWrites, writes);
        EXPECT_EQ(QApplication::palette(), startPalette);
    }
    // The page applies the stored choice when it comes on screen.
    defaults->setString(ThemeManager::modeKey(), QStringLiteral("dark"));
    theme = std::make_unique<ThemeManager>(defaults, colorScheme);
    controller = std::make_unique<SettingsWindowController>(dependencies());
    controller->show(appearance);
    EXPECT_TRUE(WindowTheme::isDark());
}

TEST(PortalColorSchemeTest, ReadsThePortalValueInsideItsVariants)
{
    using platform::ColorScheme;
    const QVariant nested = QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(1u))));
    EXPECT_EQ(platform::PortalColorSchemeSource::fromPortalValue(nested), ColorScheme::dark);
    EXPECT_EQ(platform::PortalColorSchemeSource::fromPortalValue(QVariant(2u)), ColorScheme::light);
    EXPECT_EQ(platform::PortalColorSchemeSource::fromPortalValue(QVariant(0u)), ColorScheme::noPreference);
    EXPECT_EQ(platform::PortalColorSchemeSource::fromPortalValue(QVariant(QStringLiteral("dark"))),
        ColorScheme::noPreference);
}

} // namespace
} // namespace vellamor::test
