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
#include "QtPrinters.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace vellamor::test;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

TEST(BackendPageTexts, LocaleCodesAsTheUserReadsThem)
{
    const QString cases[][2] = {{u" EN-us "_s, u"English"_s}, {u"zh_CN"_s, u"中文"_s}, {u"zh-Hant"_s, u"繁體中文"_s},
                                {u"ja-JP"_s, u"日本語"_s},     {u"ja_JP"_s, u"ja_JP"_s}, {u"\tfr "_s, u"fr"_s},
                                {u"   "_s, u"未设置"_s},       {u"en\n"_s, u"en\n"_s}};
    for (const auto& [code, shown] : cases)
        EXPECT_EQ(BackendPage::formatLocale(code), shown) << code.toStdString();
}

WalletInfo walletOf(qint64 total, qint64 monthly = 0)
{
    WalletInfo wallet;
    std::tie(wallet.total, wallet.monthlyPoints, wallet.asrPointsPerSecond) = std::tuple(total, monthly, 2);
    return wallet;
}

// The page over a real session whose sign-in client is scripted; the plan
// and points wait until the test answers each call.
class BackendPageTest : public ::testing::Test {
protected:
    void TearDown() override { runEventLoopFor(20ms); }

    void signIn(const QString& email, std::optional<Date> lastLogin = std::nullopt)
    {
        const AuthMe me{42, email, u"zh-CN"_s, Date::fromUnixSeconds(1'700'000'000), lastLogin};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
                     VerifyCodeResponse{{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)}, me, false});
        runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
        settleWidgets();
    }
    void signOut()
    {
        api->succeed(FakeAuthAPI::Op::logout);
        runBlocking(session->logout());
        settleWidgets();
    }
    void openPage()
    {
        WindowServices services;
        services.usage = [this] { return usage; };
        services.wallet = [this] { return wallet; };
        page = std::make_unique<BackendPage>(AccountServices{session, &presenter, defaults}, services);
        page->resize(560, 640);
        page->show();
        settleWidgets();
    }
    BackendDataStore& store() { return page->dataStore(); }
    bool settled() { return waitUntil([&] { return !store().loading(); }); }
    QString label(const QString& name)
    {
        auto* found = page->findChild<ThemedLabel*>(name);
        return found->isVisibleTo(page.get()) ? found->text() : QString();
    }
    QColor ink(const QString& name) { return page->findChild<ThemedLabel*>(name)->palette().color(QPalette::WindowText); }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(u"d.ini"_s));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        api, std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(), u"a"_s, u"s"_s),
        VellamorLog(u"t"_s, u"auth"_s, nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
    std::shared_ptr<FakeUsageAPI> usage = std::make_shared<FakeUsageAPI>();
    std::shared_ptr<FakeWalletAPI> wallet = std::make_shared<FakeWalletAPI>();
    std::unique_ptr<BackendPage> page;
};

TEST_F(BackendPageTest, SignedInTheBalanceAndDetailsShowSignedOutOnlyTheAccountCard)
{
    signIn(u"me@x.io"_s);
    openPage();
    EXPECT_EQ(label(u"walletMessage"_s), u"正在加载积分余额…"_s);
    usage->plans.answer(0, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return wallet->wallets.calls.size() == 1; }));
    wallet->wallets.answer(0, walletOf(-5, -3));
    ASSERT_TRUE(settled());
    settleWidgets();
    const QStringList texts = shownTexts(*page, standardText);
    for (const QString& text : {u"已登录为 me@x.io"_s, u"#42"_s, u"首次登录"_s, u"中文"_s, u"0 积分"_s,
                                u"听写每秒约 2 积分，润色每次约 10 积分"_s})
        EXPECT_TRUE(texts.contains(text)) << text.toStdString();
    EXPECT_FALSE(texts.contains(u"输入源"_s));
    EXPECT_EQ(label(u"total"_s), u"0"_s);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::secondary());
    EXPECT_EQ(label(u"monthly"_s), u"-3 积分"_s);
    EXPECT_EQ(ink(u"monthly"_s), WindowTheme::orange());
    renderView(*page, u"account-page-signed-in"_s);

    signOut();
    QStringList signedOut = shownTexts(*page, standardText);
    signedOut.sort();
    EXPECT_EQ(signedOut, (QStringList{u"未登录"_s, u"登录 / 注册"_s, u"登录后可在多台设备间同步你的词典与历史"_s,
                                      u"登录后同步历史记录与个人词典，跨设备无缝继续"_s, u"账户"_s}));
    EXPECT_EQ(store().wallet(), std::nullopt);
    renderView(*page, u"account-page-signed-out"_s);
}

// Overlapping reloads and resets, their calls answered out of order: what
// stays on the page belongs to the newest reload, and loading follows it.
TEST_F(BackendPageTest, OnlyTheNewestReloadPublishes)
{
    signIn(u"me@x.io"_s);
    openPage();
    // A failed plan: the points are never asked for.
    usage->plans.fail(0, UsageAPIError::missingToken());
    ASSERT_TRUE(settled());
    EXPECT_TRUE(wallet->wallets.calls.isEmpty());
    const QString missingToken = UsageAPIError::missingToken().errorDescription();
    EXPECT_EQ(label(u"walletMessage"_s), missingToken);
    EXPECT_EQ(ink(u"walletMessage"_s), WindowTheme::orange());

    // Another account signs in while a reload waits; the older one answers
    // last and is dropped; the error stays until the newest succeeds.
    store().reload();
    signIn(u"other@x.io"_s, Date::fromUnixSeconds(1'700'000'100));
    ASSERT_EQ(usage->plans.calls.size(), 3);
    usage->plans.answer(2, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return wallet->wallets.calls.size() == 1; }));
    usage->plans.answer(1, PlanInfo{});
    runEventLoopFor(10ms);
    EXPECT_EQ(wallet->wallets.calls.size(), 1);
    EXPECT_TRUE(store().loading());
    EXPECT_EQ(store().errorText(), missingToken);
    wallet->wallets.answer(0, walletOf(7));
    ASSERT_TRUE(settled());
    EXPECT_EQ(store().errorText(), std::nullopt);
    EXPECT_EQ(label(u"total"_s), u"7"_s);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::accent());

    // A later failure keeps the balance on screen and hides its error.
    store().reload();
    usage->plans.answer(3, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return wallet->wallets.calls.size() == 2; }));
    wallet->wallets.fail(1, UsageAPIError::transport(u"offline"_s));
    ASSERT_TRUE(settled());
    EXPECT_EQ(label(u"total"_s), u"7"_s);
    EXPECT_EQ(label(u"walletMessage"_s), QString());

    // Signed out while a reload waits: its answers never reach the page.
    store().reload();
    signOut();
    usage->plans.answer(4, PlanInfo{});
    runEventLoopFor(10ms);
    EXPECT_EQ(wallet->wallets.calls.size(), 2);
    EXPECT_EQ(store().wallet(), std::nullopt);
    EXPECT_FALSE(store().loading());
}

} // namespace
