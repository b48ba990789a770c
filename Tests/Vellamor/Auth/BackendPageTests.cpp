#include "Auth/AuthSession.h"
#include "Auth/AuthSheetPresenter.h"
#include "Auth/BackendDataStore.h"
#include "Auth/BackendPage.h"
#include "Auth/KeychainStatus.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowServices.h"
#include "Windows/WindowTheme.h"

#include "FakeAccountAPIs.h"
#include "FakeAuthAPI.h"
#include "InMemorySecureItemStore.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vellamor::test::FakeAuthAPI;
using vellamor::test::FakeUsageAPI;
using vellamor::test::FakeWalletAPI;
using vellamor::test::InMemorySecureItemStore;

namespace {

TEST(BackendPageTexts, LocaleCodesAsTheUserReadsThem)
{
    const struct {
        QString code;
        QString shown;
    } cases[] = {
        {u" EN-us "_s, u"English"_s},  {u"zh_CN"_s, u"中文"_s},   {u"zh-Hant"_s, u"繁體中文"_s},
        {u"ja-JP"_s, u"日本語"_s},     {u"ja_JP"_s, u"ja_JP"_s}, {u"\tfr "_s, u"fr"_s},
        {u"   "_s, u"未设置"_s},       {u"en\n"_s, u"en\n"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BackendPage::formatLocale(c.code), c.shown) << c.code.toStdString();
}

WalletInfo walletOf(qint64 total, qint64 monthly = 0)
{
    WalletInfo wallet;
    wallet.total = total;
    wallet.monthlyPoints = monthly;
    wallet.asrPointsPerSecond = 2;
    wallet.polishPoints = 10;
    return wallet;
}

// The page over a real session whose sign-in client is scripted; the plan
// and points wait until the test answers each call.
class BackendPageTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        page.reset();
        vellamor::test::runEventLoopFor(20ms);
    }

    void signIn(const QString& email, std::optional<Date> lastLogin = std::nullopt)
    {
        const AuthTokens tokens{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)};
        const AuthMe me{42, email, u"zh-CN"_s, Date::fromUnixSeconds(1'700'000'000), lastLogin};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode, VerifyCodeResponse{tokens, me, false});
        vellamor::runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
        settleWidgets();
    }
    void signOut()
    {
        api->succeed(FakeAuthAPI::Op::logout);
        vellamor::runBlocking(session->logout());
        settleWidgets();
    }
    void openPage()
    {
        page = std::make_unique<BackendPage>(AccountServices{session, &presenter, defaults}, services);
        page->resize(560, 640);
        page->show();
        settleWidgets();
    }
    BackendDataStore& store() { return page->dataStore(); }
    QString walletMessage() { return label(u"walletMessage"_s); }
    QString label(const QString& name)
    {
        auto* found = page->findChild<ThemedLabel*>(name);
        return found && found->isVisibleTo(page.get()) ? found->text() : QString();
    }
    QColor ink(const QString& name) { return page->findChild<ThemedLabel*>(name)->palette().color(QPalette::WindowText); }
    void screenshot(const QString& name)
    {
        const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            page->grab().save(folder + u"/account-page-"_s + name + u".png"_s);
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(u"d.ini"_s));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        api,
        std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(), u"com.vellamor.app.auth"_s,
                                        u"session"_s),
        VellamorLog(u"t"_s, u"auth"_s, nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
    std::shared_ptr<FakeUsageAPI> usage = std::make_shared<FakeUsageAPI>();
    std::shared_ptr<FakeWalletAPI> wallet = std::make_shared<FakeWalletAPI>();
    WindowServices services{.usage = [this] { return usage; }, .wallet = [this] { return wallet; }};
    std::unique_ptr<BackendPage> page;
};

TEST_F(BackendPageTest, SignedOutShowsOnlyTheHeaderAndTheAccountCard)
{
    openPage();
    EXPECT_EQ(shownTexts(*page, standardText),
              (QStringList{u"账户"_s, u"登录后可在多台设备间同步你的词典与历史"_s, u"未登录"_s,
                           u"登录后同步历史记录与个人词典，跨设备无缝继续"_s, u"登录 / 注册"_s}));
    EXPECT_TRUE(usage->plans.calls.isEmpty());
    screenshot(u"signed-out"_s);
}

TEST_F(BackendPageTest, SignedInShowsTheBalanceAndTheDetails)
{
    signIn(u"me@x.io"_s);
    openPage();
    EXPECT_EQ(walletMessage(), u"正在加载积分余额…"_s);
    usage->plans.answer(0, PlanInfo{});
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return wallet->wallets.calls.size() == 1; }));
    wallet->wallets.answer(0, walletOf(-5, -3));
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return !store().loading(); }));
    settleWidgets();

    const QStringList texts = shownTexts(*page, standardText);
    for (const QString& text : {u"已登录为 me@x.io"_s, u"积分余额"_s, u"#42"_s, u"首次登录"_s, u"中文"_s,
                                u"听写每秒约 2 积分，润色每次约 10 积分"_s, u"0 积分"_s})
        EXPECT_TRUE(texts.contains(text)) << text.toStdString();
    EXPECT_FALSE(texts.contains(u"输入源"_s));
    EXPECT_EQ(label(u"total"_s), u"0"_s);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::secondary());
    EXPECT_EQ(label(u"monthly"_s), u"-3 积分"_s);
    EXPECT_EQ(ink(u"monthly"_s), WindowTheme::orange());
    screenshot(u"signed-in"_s);

    signOut();
    EXPECT_FALSE(shownTexts(*page, standardText).contains(u"积分余额"_s));
    EXPECT_EQ(store().wallet(), std::nullopt);
}

// Each case drives the store through reloads and resets and answers the
// pending calls in the order given; what is left on the page must belong
// to the newest reload, and loading must follow it.
TEST_F(BackendPageTest, OnlyTheNewestReloadPublishes)
{
    signIn(u"me@x.io"_s);
    openPage();
    // The first reload fails at the plan: the points are never asked for.
    usage->plans.fail(0, UsageAPIError::missingToken());
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return !store().loading(); }));
    EXPECT_TRUE(wallet->wallets.calls.isEmpty());
    const QString missingToken = UsageAPIError::missingToken().errorDescription();
    EXPECT_EQ(walletMessage(), missingToken);
    EXPECT_EQ(ink(u"walletMessage"_s), WindowTheme::orange());

    // A second account signs in while the first one's reload is pending;
    // the first answers last and is dropped, the error stays until the
    // newest succeeds.
    store().reload();
    signIn(u"other@x.io"_s, Date::fromUnixSeconds(1'700'000'100));
    ASSERT_EQ(usage->plans.calls.size(), 3);
    usage->plans.answer(2, PlanInfo{});
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return wallet->wallets.calls.size() == 1; }));
    usage->plans.answer(1, PlanInfo{});
    vellamor::test::runEventLoopFor(10ms);
    EXPECT_EQ(wallet->wallets.calls.size(), 1);
    EXPECT_TRUE(store().loading());
    EXPECT_EQ(store().errorText(), missingToken);
    wallet->wallets.answer(0, walletOf(7));
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return !store().loading(); }));
    EXPECT_EQ(store().wallet(), walletOf(7));
    EXPECT_EQ(store().errorText(), std::nullopt);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::accent());

    // A later failure keeps the balance on screen and hides its error.
    store().reload();
    usage->plans.answer(3, PlanInfo{});
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return wallet->wallets.calls.size() == 2; }));
    wallet->wallets.fail(1, UsageAPIError::transport(u"offline"_s));
    ASSERT_TRUE(vellamor::test::waitUntil([&] { return !store().loading(); }));
    EXPECT_EQ(store().wallet(), walletOf(7));
    EXPECT_EQ(label(u"total"_s), u"7"_s);
    EXPECT_EQ(walletMessage(), QString());

    // Signing out while a reload waits: its answers never reach the page.
    store().reload();
    signOut();
    usage->plans.answer(4, PlanInfo{});
    vellamor::test::runEventLoopFor(10ms);
    EXPECT_EQ(wallet->wallets.calls.size(), 2);
    EXPECT_EQ(store().wallet(), std::nullopt);
    EXPECT_FALSE(store().loading());
    EXPECT_EQ(walletMessage(), QString());
}

} // namespace
