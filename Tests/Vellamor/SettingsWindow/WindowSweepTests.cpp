#include "FakeAccessibilityStatus.h"
#include "FakeAccountAPIs.h"
#include "FakeAuthAPI.h"
#include "FakeCommandLauncher.h"
#include "FakeDataSyncAPI.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeInputSourceAPI.h"
#include "FakeModelAPI.h"
#include "FakePasteboard.h"
#include "FakePreferencesAPI.h"
#include "FakeSoundServer.h"
#include "FakeWorkspace.h"
#include "InMemorySecureItemStore.h"
#include "LayoutSweep.h"
#include "ManualSteadyClock.h"
#include "WaitUntil.h"

#include "Auth/AuthSession.h"
#include "Auth/AuthSheet.h"
#include "Auth/AuthSheetPresenter.h"
#include "Auth/AuthSheetViewModel.h"
#include "Auth/KeychainStore.h"
#include "I18n/LocaleResolver.h"
#include "Menu/MenuBarController.h"
#include "Permissions/PermissionChecker.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/ThemeManager.h"
#include "Support/Async/RunBlocking.h"

#include <QMenu>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

constexpr QSize minimumSize{680, 460};
constexpr QSize defaultSize{820, 560};

// Every window a user meets in the settings, as the real theme draws it in
// light and dark, signed in and out, checked for cut texts, controls out of
// the window and disabled controls that look enabled.
class WindowSweepTest : public ::testing::Test {
protected:
    WindowSweepTest()
    {
        LocaleResolver::shared().setLanguage(u"zh"_s);
        services.models = [this] { return models; };
        services.serverPreferences = [this] { return std::make_shared<FakePreferencesAPI>(); };
        services.dataSync = [this] { return std::make_shared<FakeDataSyncAPI>(); };
        services.usage = [this] { return account; };
        services.wallet = [this] { return account; };
        services.inputSources = [this] { return sources; };
        hooks.auth = session->publisher();
        hooks.soundServer = std::make_shared<FakeSoundServer>();
        controller = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies{
            store, theme, LocaleResolver::shared(), services, defaults, clock.sleeper(), diagnostics(), hooks,
            AccountServices{session, &presenter, defaults, [](QObject*, std::function<void()>) {}}});
    }

    ~WindowSweepTest() override
    {
        controller.reset();
        sources->failWaiting();
        theme.setMode(ThemeMode::system);
        runEventLoopFor(20ms);
        LocaleResolver::shared().setLanguage(u"auto"_s);
    }

    static DiagnosticsServices diagnostics()
    {
        auto checker = std::make_shared<PermissionChecker>(PermissionChecker::Facilities{
            std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available),
            std::make_shared<FakeSoundServer>(), std::make_shared<FakeAccessibilityStatus>(false),
            std::make_shared<FakeCommandLauncher>()});
        return {checker, std::make_shared<FakePasteboard>(), std::make_shared<FakeWorkspace>(), std::nullopt,
                ApplicationVersion{u"1.4.0"_s, u"210"_s}};
    }

    void signIn()
    {
        const AuthMe me{42, u"a.rather.long.address@example.com"_s, u"zh-CN"_s, Date::fromUnixSeconds(1'700'000'000),
                        Date::fromUnixSeconds(1'760'000'000)};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
                     VerifyCodeResponse{{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)}, me, false});
        runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
        settleWidgets();
    }

    // The account page's plan and points, whenever it asks.
    void answerAccountCalls()
    {
        while (answeredPlans < account->plans.calls.size())
            account->plans.answer(answeredPlans++, PlanInfo{});
        runEventLoopFor(5ms);
        while (answeredWallets < account->wallets.calls.size())
            account->wallets.answer(answeredWallets++, WalletInfo{120, 30, 4'800, std::nullopt, 2, 10});
        runEventLoopFor(5ms);
    }

    // Each section at both sizes in both appearances; the default size is
    // kept as a screenshot. Returns every fault, named by where it is.
    QStringList sweepSettings(const QString& name, const QList<SettingsSection>& sections)
    {
        QStringList faults;
        for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
            theme.setMode(mode);
            for (const SettingsSection section : sections) {
                controller->show(section);
                SettingsWindow& window = *controller->window();
                for (const QSize size : {minimumSize, defaultSize}) {
                    window.resize(size);
                    answerAccountCalls();
                    const QString where = name + u'-' + rawValue(section) + u'-' + rawValue(mode) + u'-'
                        + QString::number(size.width());
                    for (const QString& fault : layoutFaults(window))
                        faults.append(where + u": "_s + fault);
                    if (size == defaultSize)
                        renderView(window, u"sweep-"_s + where);
                }
            }
        }
        return faults;
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(u"d.ini"_s));
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey());
    ThemeManager theme{defaults, nullptr};
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        api, std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(), u"a"_s, u"s"_s),
        VellamorLog(u"t"_s, u"auth"_s, nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
    std::shared_ptr<FakeAccountAPIs> account = std::make_shared<FakeAccountAPIs>();
    std::shared_ptr<FakeInputSourceAPI> sources = std::make_shared<FakeInputSourceAPI>();
    std::shared_ptr<FakeModelAPI> models = std::make_shared<FakeModelAPI>();
    qsizetype answeredPlans = 0;
    qsizetype answeredWallets = 0;
    WindowServices services;
    SettingsPageHooks hooks;
    ManualSteadyClock clock;
    std::unique_ptr<SettingsWindowController> controller;
};

TEST_F(WindowSweepTest, EverySettingsSectionFitsItsWindowSignedOutAndIn)
{
    const QList<SettingsSection> sections(allSettingsSections.begin(), allSettingsSections.end());
    QStringList faults = sweepSettings(u"signed-out"_s, sections);
    signIn();
    faults += sweepSettings(u"signed-in"_s, sections);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(WindowSweepTest, TheAboutPageFitsInEnglish)
{
    controller->show(SettingsSection::general);
    controller->window()->binding().language.set(u"en"_s);
    const QStringList faults = sweepSettings(u"english"_s, {SettingsSection::about});
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(WindowSweepTest, EveryStepOfTheSignInSheetFits)
{
    api->succeed(FakeAuthAPI::Op::requestUnifiedCode, RequestCodeResponse{u"login"_s, 300});
    AuthSheet* sheet = presenter.present();
    ASSERT_NE(sheet, nullptr);
    // Fixed in size: the frame offers no minimise or maximise.
    const Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(sheet->windowFlags() & frame, Qt::CustomizeWindowHint);
    AuthSheetViewModel& model = sheet->viewModel();
    const std::vector<std::pair<QString, std::function<void()>>> steps{
        {u"email"_s, [&] { model.setEmail(u"me@example.com"_s); }},
        {u"code"_s,
         [&] {
             model.primaryAction();
             ASSERT_TRUE(waitUntil([&] { return !model.state.value().isBusy; }));
         }},
        {u"password"_s, [&] { model.switchTab(AuthSheetViewModel::Tab::password); }},
    };
    QStringList faults;
    for (const auto& [step, enter] : steps) {
        enter();
        for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
            theme.setMode(mode);
            const QString where = u"sheet-"_s + step + u'-' + rawValue(mode);
            for (const QString& fault : layoutFaults(*sheet))
                faults.append(where + u": "_s + fault);
            renderView(*sheet, u"sweep-"_s + where);
        }
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// The status rows of the tray menu are disabled: drawn dimmer than the
// entries, never etched brighter, in both appearances.
TEST_F(WindowSweepTest, TheTrayMenusDisabledRowsAreDimmerThanItsEntries)
{
    MenuBarController menuBar;
    menuBar.install();
    QMenu& menu = menuBar.menu();
    const QList<QAction*> actions = menu.actions();
    ASSERT_FALSE(actions.first()->isEnabled());
    QAction* entry = *std::find_if(actions.begin(), actions.end(), [](QAction* action) {
        return action->text() == u"打开设置…"_s;
    });
    for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
        theme.setMode(mode);
        settleWidgets();
        menu.adjustSize();
        const QImage image = renderView(menu, u"sweep-tray-menu-"_s + rawValue(mode));
        const auto contrast = [&](QAction* action) {
            return layoutSweep::inkOf(image.copy(menu.actionGeometry(action))).contrast;
        };
        EXPECT_LT(contrast(actions.first()), contrast(entry)) << rawValue(mode).toStdString();
    }
}

} // namespace
} // namespace vellamor::test
