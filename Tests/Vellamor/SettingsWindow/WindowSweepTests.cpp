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

#include "AccountWindows/AuthSheet.h"
#include "AccountWindows/AuthSheetPresenter.h"
#include "AccountWindows/AuthSheetViewModel.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "I18n/LocaleResolver.h"
#include "InputSourceWindows/PairingSheet.h"
#include "InputSources/InputSourceAPI.h"
#include "Menu/MenuBarController.h"
#include "Onboarding/OnboardingAccountPage.h"
#include "Onboarding/OnboardingPermissionStepPage.h"
#include "Onboarding/OnboardingWindow.h"
#include "Permissions/PermissionChecker.h"
#include "SettingsWindow/SettingsPages.h"
#include "SettingsWindow/SettingsSectionDescriptor.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsWindow.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/ThemeManager.h"
#include "Support/Async/RunBlocking.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

constexpr QSize minimumSize{680, 460};
constexpr QSize defaultSize{820, 560};

// Outside texts (an e-mail, a server's message, a phone's name) carry it in
// the sweeps: every label shows it as written.
const QString markup = QStringLiteral("<b>");
// As long as the plain address the layout sweeps were written for.
const QString markedEmail = QStringLiteral("<b>a.rather.long</b>@example.cn");

// The titles of the settings' buttons the design calls prominent.
const QStringList prominentTitles { QStringLiteral("登录 / 注册"), QStringLiteral("重新登录"),
    QStringLiteral("添加输入源"), QStringLiteral("复制诊断信息"), QStringLiteral("打开历史记录"),
    QStringLiteral("打开词典"), QStringLiteral("我已扫码完成") };

// Every window a user meets in the settings, as the real theme draws it in
// light and dark, signed in and out, checked for cut texts, controls out of
// the window and disabled controls that look enabled.
class WindowSweepTest : public ::testing::Test {
protected:
    WindowSweepTest()
    {
        LocaleResolver::shared().setLanguage(QStringLiteral("zh"));
        services.models = [this] { return models; };
        services.serverPreferences = [this] { return std::make_shared<FakePreferencesAPI>(); };
        services.dataSync = [this] { return std::make_shared<FakeDataSyncAPI>(); };
        services.usage = [this] { return account; };
        services.wallet = [this] { return account; };
        services.inputSources = [this] { return inputSources; };
        hooks.auth = session->publisher();
        hooks.soundServer = std::make_shared<FakeSoundServer>();
        controller = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies{
            store, theme, LocaleResolver::shared(), services, defaults, clock.sleeper(), diagnostics(), hooks,
            AccountServices{session, &presenter, defaults, {}}});
    }

    ~WindowSweepTest() override
    {
        inputSources->failWaiting();
        controller.reset();
        theme.setMode(ThemeMode::system);
        afterQueuedCalls();
        LocaleResolver::shared().setLanguage(QStringLiteral("auto"));
    }

    static std::shared_ptr<PermissionChecker> permissions()
    {
        return std::make_shared<PermissionChecker>(PermissionChecker::Facilities {
            std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available),
            std::make_shared<FakeSoundServer>(), std::make_shared<FakeAccessibilityStatus>(false),
            std::make_shared<FakeCommandLauncher>() });
    }

    static DiagnosticsServices diagnostics()
    {
        return { permissions(), std::make_shared<FakePasteboard>(), std::make_shared<FakeWorkspace>(), std::nullopt,
            ApplicationVersion { QStringLiteral("1.4.0"), QStringLiteral("210") } };
    }

    void signIn()
    {
        const AuthMe me { 42, markedEmail, QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
            Date::fromUnixSeconds(1'760'000'000) };
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
            VerifyCodeResponse {
                { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) }, me, false });
        runBlocking(session->loginWithUnifiedCode(me.email, QStringLiteral("123456")));
        settleWidgets();
    }

    // A stored session the server refuses at start-up, with its reason.
    void failStartUp()
    {
        runBlocking(keychain->saveTokens(
            { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) }, std::nullopt));
        api->fail(FakeAuthAPI::Op::me, AuthAPIError::userBanned(QStringLiteral("<b>违规</b>")));
        runBlocking(session->bootstrap());
        settleWidgets();
    }

    // The account page's plan, points and input sources, as it asks for them:
    // the points once the plan has come.
    void answerAccountCalls()
    {
        // Reloads that queued deliveries start ask first.
        afterQueuedCalls();
        InputSource phone;
        phone.id = 1;
        phone.kind = QStringLiteral("phone");
        phone.name = phone.friendlyName = QStringLiteral("<b>我的</b>手机");
        while (answeredLists < inputSources->lists.calls.size())
            inputSources->lists.answer(answeredLists++, { phone });
        while (answeredPlans < account->plans.calls.size())
            account->plans.answer(answeredPlans++, PlanInfo{});
        // A plan resumes its reload on the next turn, which asks for the
        // points at once, unless a newer reload or a closed page ended it.
        afterQueuedCalls();
        while (answeredWallets < account->wallets.calls.size())
            account->wallets.answer(answeredWallets++, WalletInfo{120, 30, 4'800, std::nullopt, 2, 10});
        // The answers resume their callers on the next turn; the redraws
        // those ask for run on the one after.
        afterQueuedCalls();
        afterQueuedCalls();
    }

    // What scrolls the window's page; none when nothing does.
    static QScrollBar* pageScroll(SettingsWindow& window)
    {
        for (QWidget* up = window.page(); up; up = up->parentWidget()) {
            if (auto* area = qobject_cast<QScrollArea*>(up))
                return area->verticalScrollBar();
        }
        return nullptr;
    }

    // Each section at both sizes in both appearances; the default size is
    // kept as a screenshot. Returns every fault, named by where it is; the
    // prominent buttons' titles met go to `metProminent`, the texts of
    // labels showing markup to `markedUp`.
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
                    QStringList found = layoutFaults(window) + richTextFaults(window, markup, markedUp);
                    const QList<QAbstractButton*> prominent = buttonsTitled(window, prominentTitles);
                    for (const QAbstractButton* button : prominent)
                        metProminent.append(button->text());
                    found += prominentFaults(prominent);
                    for (const QString& fault : found)
                        faults.append(where + QStringLiteral(": ") + fault);
                    if (size == defaultSize) {
                        renderView(window, QStringLiteral("sweep-") + where);
                        // The account page's input-source card is below the fold.
                        QScrollBar* scroll = pageScroll(window);
                        if (scroll && scroll->maximum() > 0) {
                            scroll->setValue(scroll->maximum());
                            renderView(window, QStringLiteral("sweep-") + where + QStringLiteral("-end"));
                            scroll->setValue(0);
                        }
                    }
                }
            }
        }
        return faults;
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey());
    ThemeManager theme{defaults, nullptr};
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<KeychainStore> keychain = std::make_shared<KeychainStore>(
        std::make_shared<InMemorySecureItemStore>(), QStringLiteral("a"), QStringLiteral("s"));
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(api, keychain,
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
    std::shared_ptr<FakeAccountAPIs> account = std::make_shared<FakeAccountAPIs>();
    std::shared_ptr<FakeModelAPI> models = std::make_shared<FakeModelAPI>();
    std::shared_ptr<FakeInputSourceAPI> inputSources = std::make_shared<FakeInputSourceAPI>();
    qsizetype answeredPlans = 0;
    qsizetype answeredWallets = 0;
    qsizetype answeredLists = 0;
    QStringList metProminent;
    QStringList markedUp;
    WindowServices services;
    SettingsPageHooks hooks;
    ManualSteadyClock clock;
    std::unique_ptr<SettingsWindowController> controller;
};

// Signed out, refused at start-up and signed in: every section fits, its
// prominent buttons read white on their ground, and the account's e-mail,
// the server's reason and the phone's name show as written.
TEST_F(WindowSweepTest, EverySettingsSectionReadsRightInEveryAccountState)
{
    const QList<SettingsSection> sections(allSettingsSections.begin(), allSettingsSections.end());
    QStringList faults = sweepSettings(QStringLiteral("signed-out"), sections);
    failStartUp();
    faults += sweepSettings(QStringLiteral("refused"), { SettingsSection::backend });
    signIn();
    faults += sweepSettings(QStringLiteral("signed-in"), sections);

    auto* pairing
        = new PairingSheet(inputSources, clock.sleeper(), [] { return Date::fromUnixSeconds(1'800'000'000); });
    const std::unique_ptr<PairingSheet> sheet(pairing);
    sheet->show();
    ASSERT_TRUE(waitUntil([&] { return !inputSources->pairings.calls.isEmpty(); }));
    inputSources->pairings.answer(0,
        PairingInfo { QStringLiteral("123456"), Date::fromUnixSeconds(1'800'000'300),
            InputSourceAPI::buildQRURL(QStringLiteral("123456"), QUrl(QStringLiteral("https://pair.example.com/"))),
            std::nullopt });
    for (const ThemeMode mode : { ThemeMode::light, ThemeMode::dark }) {
        theme.setMode(mode);
        const QList<QAbstractButton*> prominent = buttonsTitled(*sheet, prominentTitles);
        for (const QAbstractButton* button : prominent)
            metProminent.append(button->text());
        for (const QString& fault : prominentFaults(prominent))
            faults.append(QStringLiteral("pairing-sheet-") + rawValue(mode) + QStringLiteral(": ") + fault);
        renderView(*sheet, QStringLiteral("sweep-pairing-sheet-ready-") + rawValue(mode));
    }

    for (const QString& title : prominentTitles)
        EXPECT_TRUE(metProminent.contains(title)) << title.toStdString() << " never met";
    // The phone's name is painted by the card's list, not shown by a label.
    for (const QString& text : { markedEmail, QStringLiteral("该账号已被封禁：<b>违规</b>") })
        EXPECT_TRUE(markedUp.contains(text)) << text.toStdString() << " not in " << markedUp.join(u'|').toStdString();
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// Scrolled down on a long page, the next section still opens at its top.
TEST_F(WindowSweepTest, EverySectionOpensAtItsTop)
{
    signIn();
    controller->show(SettingsSection::backend);
    SettingsWindow& window = *controller->window();
    window.resize(minimumSize);
    ASSERT_NE(pageScroll(window), nullptr);
    QScrollBar& scroll = *pageScroll(window);
    for (const SettingsSection section : allSettingsSections) {
        if (section == SettingsSection::backend)
            continue;
        SCOPED_TRACE(rawValue(section).toStdString());
        controller->show(SettingsSection::backend);
        answerAccountCalls();
        settleWidgets();
        ASSERT_GT(scroll.maximum(), 0);
        scroll.setValue(scroll.maximum());
        controller->show(section);
        answerAccountCalls();
        settleWidgets();
        EXPECT_EQ(scroll.value(), 0);
    }
}

// Every label and button text of `page`.
QStringList shownTexts(const QWidget& page)
{
    QStringList texts;
    for (const QLabel* label : page.findChildren<QLabel*>())
        texts.append(label->text());
    for (const QAbstractButton* button : page.findChildren<QAbstractButton*>())
        texts.append(button->text());
    return texts;
}

TEST_F(WindowSweepTest, EverySectionBuildsAndShowsWhatItsSearchRowsFind)
{
    SettingsStoreObservable obs(store);
    const DiagnosticsServices diagnosed = diagnostics();
    const AccountServices accountServices{session, &presenter, defaults, {}};
    const SettingsPageContext context{obs, theme, services, diagnosed, hooks, accountServices};
    QList<SettingsSection> order;
    for (const SettingsSectionDescriptor& descriptor : settingsSections()) {
        SCOPED_TRACE(descriptor.rawValue.toStdString());
        order.append(descriptor.section);
        const std::unique_ptr<QWidget> page(descriptor.makePage(context, nullptr));
        ASSERT_NE(page, nullptr);
        answerAccountCalls();
        const QStringList shown = shownTexts(*page);
        for (const SettingsSearchRow& row : descriptor.searchRows)
            EXPECT_TRUE(shown.contains(row.shown)) << row.shown.toStdString();
    }
    EXPECT_EQ(order, QList<SettingsSection>(allSettingsSections.begin(), allSettingsSections.end()));
}

TEST_F(WindowSweepTest, TheAboutPageFitsInEnglish)
{
    controller->show(SettingsSection::general);
    controller->window()->binding().language.set(QStringLiteral("en"));
    const QStringList faults = sweepSettings(QStringLiteral("english"), { SettingsSection::about });
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// Each step of the guide in both appearances, signed out and in: its
// buttons fit, the prominent ones (the primary, the page's own) read white
// on their ground, and the account's e-mail shows as written.
TEST_F(WindowSweepTest, EveryStepOfTheGuideReadsRight)
{
    using Step = OnboardingStep;
    const std::pair<Step, bool> steps[] = { { Step::welcome, false }, { Step::overview, false },
        { Step::microphone, false }, { Step::accessibility, false }, { Step::inputMonitoring, false },
        { Step::account, false }, { Step::account, true }, { Step::firstRun, true }, { Step::success, true } };
    const std::shared_ptr<PermissionChecker> checker = permissions();
    QStringList faults;
    for (const auto& [step, signedIn] : steps) {
        if (signedIn && !session->publisher()->state().isAuthenticated())
            signIn();
        OnboardingViewModel vm(checker, session->publisher());
        vm.step = step;
        OnboardingWindow window(vm, QStringLiteral("右 Ctrl"), {});
        window.show();
        QList<QAbstractButton*> prominent { &window.primaryButton() };
        if (auto* page = qobject_cast<OnboardingPermissionStepPage*>(window.page()))
            prominent.append(&page->actionButton());
        if (auto* page = qobject_cast<OnboardingAccountPage*>(window.page()); page && !signedIn)
            prominent.append(&page->signInButton());
        for (const ThemeMode mode : { ThemeMode::light, ThemeMode::dark }) {
            theme.setMode(mode);
            const QString where = QStringLiteral("guide-") + debugName(step)
                + (signedIn ? QStringLiteral("-signed-in-") : QStringLiteral("-")) + rawValue(mode);
            for (const QString& fault :
                layoutFaults(window) + prominentFaults(prominent) + richTextFaults(window, markup, markedUp))
                faults.append(where + QStringLiteral(": ") + fault);
            renderView(window, QStringLiteral("sweep-") + where);
        }
    }
    EXPECT_TRUE(markedUp.contains(QStringLiteral("已登录为 ") + markedEmail)) << markedUp.join(u'|').toStdString();
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// Each step, a server's refusal included, fits and shows the server's words
// as written.
TEST_F(WindowSweepTest, EveryStepOfTheSignInSheetFits)
{
    api->succeed(FakeAuthAPI::Op::requestUnifiedCode, RequestCodeResponse { QStringLiteral("login"), 300 });
    AuthSheet* sheet = presenter.present();
    ASSERT_NE(sheet, nullptr);
    // Fixed in size: the frame offers no minimise or maximise.
    const Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(sheet->windowFlags() & frame, Qt::CustomizeWindowHint);
    AuthSheetViewModel& model = sheet->viewModel();
    const std::vector<std::pair<QString, std::function<void()>>> steps {
        { QStringLiteral("email"), [&] { model.setEmail(QStringLiteral("me@example.com")); } },
        { QStringLiteral("code"),
            [&] {
                model.primaryAction();
                ASSERT_TRUE(waitUntil([&] { return !model.state.value().isBusy; }));
            } },
        { QStringLiteral("refused"),
            [&] {
                api->fail(
                    FakeAuthAPI::Op::verifyUnifiedCode, AuthAPIError::server(503, QStringLiteral("<b>维护中</b>")));
                model.setCode(QStringLiteral("123456"));
                model.primaryAction();
                ASSERT_TRUE(waitUntil([&] { return !model.state.value().isBusy; }));
            } },
        { QStringLiteral("password"), [&] { model.switchTab(AuthSheetViewModel::Tab::password); } },
    };
    QStringList faults;
    for (const auto& [step, enter] : steps) {
        enter();
        for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
            theme.setMode(mode);
            const QString where = QStringLiteral("sheet-") + step + u'-' + rawValue(mode);
            for (const QString& fault : layoutFaults(*sheet) + richTextFaults(*sheet, markup, markedUp))
                faults.append(where + QStringLiteral(": ") + fault);
            renderView(*sheet, QStringLiteral("sweep-") + where);
        }
    }
    EXPECT_TRUE(markedUp.contains(QStringLiteral("服务异常 503：<b>维护中</b>"))) << markedUp.join(u'|').toStdString();
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
    QAction* entry = *std::find_if(
        actions.begin(), actions.end(), [](QAction* action) { return action->text() == QStringLiteral("打开设置…"); });
    for (const ThemeMode mode : {ThemeMode::light, ThemeMode::dark}) {
        theme.setMode(mode);
        settleWidgets();
        menu.adjustSize();
        const QImage image = renderView(menu, QStringLiteral("sweep-tray-menu-") + rawValue(mode));
        const auto contrast = [&](QAction* action) {
            return layoutSweep::inkOf(image.copy(menu.actionGeometry(action))).contrast;
        };
        EXPECT_LT(contrast(actions.first()), contrast(entry)) << rawValue(mode).toStdString();
    }
}

} // namespace
} // namespace vellamor::test
