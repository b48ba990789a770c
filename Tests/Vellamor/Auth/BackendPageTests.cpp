#include "Auth/AuthSession.h"
#include "Auth/AuthSheetPresenter.h"
#include "Auth/BackendDataStore.h"
#include "Auth/BackendPage.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowServices.h"
#include "Windows/WindowTheme.h"

#include "FakeAccountAPIs.h"
#include "FakeAuthAPI.h"
#include "FakeInputSourceAPI.h"
#include "InMemorySecureItemStore.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace vellamor::test;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// The page over a real session whose sign-in client is scripted; the plan
// and points wait until the test answers each call.
class BackendPageTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        page.reset();
        sources->failWaiting();
        runEventLoopFor(20ms);
    }

    void signIn(const QString& email, const QString& locale)
    {
        const AuthMe me{42, email, locale, Date::fromUnixSeconds(1'700'000'000), std::nullopt};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
                     VerifyCodeResponse{{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)}, me, false});
        runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
        settleWidgets();
    }
    void openPage()
    {
        WindowServices services;
        services.usage = [this] { return account; };
        services.wallet = [this] { return account; };
        services.inputSources = [this] { return sources; };
        page = std::make_unique<BackendPage>(AccountServices{session, &presenter, defaults, {}}, services);
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
    std::shared_ptr<FakeAccountAPIs> account = std::make_shared<FakeAccountAPIs>();
    std::shared_ptr<FakeInputSourceAPI> sources = std::make_shared<FakeInputSourceAPI>();
    std::unique_ptr<BackendPage> page;
};

TEST_F(BackendPageTest, SignedInTheBalanceAndDetailsShowSignedOutOnlyTheAccountCard)
{
    signIn(u"me@x.io"_s, u" EN-us "_s);
    openPage();
    EXPECT_EQ(label(u"walletMessage"_s), u"正在加载积分余额…"_s);
    account->plans.answer(0, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 1; }));
    account->wallets.answer(0, WalletInfo{-3, 0, -5, std::nullopt, 2, 10});
    ASSERT_TRUE(settled());
    const QStringList texts = shownTexts(*page, standardText);
    for (const QString& text : {u"已登录为 me@x.io"_s, u"#42"_s, u"首次登录"_s, u"English"_s, u"0 积分"_s,
                                u"听写每秒约 2 积分，润色每次约 10 积分"_s})
        EXPECT_TRUE(texts.contains(text)) << text.toStdString();
    EXPECT_EQ(label(u"total"_s), u"0"_s);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::secondary());
    EXPECT_EQ(label(u"monthly"_s), u"-3 积分"_s);
    EXPECT_EQ(ink(u"monthly"_s), WindowTheme::orange());
    renderView(*page, u"account-page-signed-in"_s);

    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    settleWidgets();
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
    signIn(u"me@x.io"_s, u"   "_s);
    openPage();
    EXPECT_TRUE(shownTexts(*page, standardText).contains(u"未设置"_s));
    // A failed plan: the points are never asked for.
    account->plans.fail(0, UsageAPIError::missingToken());
    ASSERT_TRUE(settled());
    EXPECT_TRUE(account->wallets.calls.isEmpty());
    const QString missingToken = UsageAPIError::missingToken().errorDescription();
    EXPECT_EQ(label(u"walletMessage"_s), missingToken);
    EXPECT_EQ(ink(u"walletMessage"_s), WindowTheme::orange());

    // Another account signs in while a reload waits; the older one answers
    // last and is dropped; the error stays until the newest succeeds.
    store().reload();
    signIn(u"other@x.io"_s, u"ja_JP"_s);
    EXPECT_TRUE(shownTexts(*page, standardText).contains(u"ja_JP"_s));
    EXPECT_EQ(sources->lists.calls.size(), 2) << "the input sources load once on opening and once on the change";
    ASSERT_EQ(account->plans.calls.size(), 3);
    account->plans.answer(2, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 1; }));
    account->plans.answer(1, PlanInfo{});
    runEventLoopFor(10ms);
    EXPECT_EQ(account->wallets.calls.size(), 1);
    EXPECT_TRUE(store().loading());
    EXPECT_EQ(store().errorText(), missingToken);
    account->wallets.answer(0, WalletInfo{0, 0, 7, std::nullopt, 2, 10});
    ASSERT_TRUE(settled());
    EXPECT_EQ(store().errorText(), std::nullopt);
    EXPECT_EQ(label(u"total"_s), u"7"_s);
    EXPECT_EQ(ink(u"total"_s), WindowTheme::accent());

    // A later failure keeps the balance on screen and hides its error.
    store().reload();
    account->plans.answer(3, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 2; }));
    account->wallets.fail(1, UsageAPIError::transport(u"offline"_s));
    ASSERT_TRUE(settled());
    EXPECT_EQ(label(u"total"_s), u"7"_s);
    EXPECT_EQ(label(u"walletMessage"_s), QString());

    // Signed out while a reload waits: its answers never reach the page.
    store().reload();
    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    account->plans.answer(4, PlanInfo{});
    runEventLoopFor(10ms);
    EXPECT_EQ(account->wallets.calls.size(), 2);
    EXPECT_EQ(store().wallet(), std::nullopt);
    EXPECT_FALSE(store().loading());
}

} // namespace
