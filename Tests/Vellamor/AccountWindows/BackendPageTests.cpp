#include "AccountWindows/AuthSheetPresenter.h"
#include "AccountWindows/BackendDataStore.h"
#include "AccountWindows/BackendPage.h"
#include "Auth/AuthSession.h"
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
        afterQueuedCalls();
    }

    void signIn(const QString& email, const QString& locale)
    {
        const AuthMe me{42, email, locale, Date::fromUnixSeconds(1'700'000'000), std::nullopt};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode,
            VerifyCodeResponse {
                { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) }, me, false });
        runBlocking(session->loginWithUnifiedCode(me.email, QStringLiteral("123456")));
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
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(api,
        std::make_shared<KeychainStore>(
            std::make_shared<InMemorySecureItemStore>(), QStringLiteral("a"), QStringLiteral("s")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
    std::shared_ptr<FakeAccountAPIs> account = std::make_shared<FakeAccountAPIs>();
    std::shared_ptr<FakeInputSourceAPI> sources = std::make_shared<FakeInputSourceAPI>();
    std::unique_ptr<BackendPage> page;
};

TEST_F(BackendPageTest, SignedInTheBalanceAndDetailsShowSignedOutOnlyTheAccountCard)
{
    signIn(QStringLiteral("me@x.io"), QStringLiteral(" EN-us "));
    openPage();
    EXPECT_EQ(label(QStringLiteral("walletMessage")), QStringLiteral("正在加载积分余额…"));
    account->plans.answer(0, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 1; }));
    account->wallets.answer(0, WalletInfo{-3, 0, -5, std::nullopt, 2, 10});
    ASSERT_TRUE(settled());
    const QStringList texts = shownTexts(*page, standardText);
    for (const QString& text : { QStringLiteral("已登录为 me@x.io"), QStringLiteral("#42"), QStringLiteral("首次登录"),
             QStringLiteral("English"), QStringLiteral("0 积分"),
             QStringLiteral("听写每秒约 2 积分，润色每次约 10 积分") })
        EXPECT_TRUE(texts.contains(text)) << text.toStdString();
    EXPECT_EQ(label(QStringLiteral("total")), QStringLiteral("0"));
    EXPECT_EQ(ink(QStringLiteral("total")), WindowTheme::secondary());
    EXPECT_EQ(label(QStringLiteral("monthly")), QStringLiteral("-3 积分"));
    EXPECT_EQ(ink(QStringLiteral("monthly")), WindowTheme::orange());
    renderView(*page, QStringLiteral("account-page-signed-in"));

    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    settleWidgets();
    QStringList signedOut = shownTexts(*page, standardText);
    signedOut.sort();
    EXPECT_EQ(signedOut,
        (QStringList { QStringLiteral("未登录"), QStringLiteral("登录 / 注册"),
            QStringLiteral("登录后可在多台设备间同步你的词典与历史"),
            QStringLiteral("登录后同步历史记录与个人词典，跨设备无缝继续"), QStringLiteral("账户") }));
    EXPECT_EQ(store().wallet(), std::nullopt);
    renderView(*page, QStringLiteral("account-page-signed-out"));
}

// Overlapping reloads and resets, their calls answered out of order: what
// stays on the page belongs to the newest reload, and loading follows it.
TEST_F(BackendPageTest, OnlyTheNewestReloadPublishes)
{
    signIn(QStringLiteral("me@x.io"), QStringLiteral("   "));
    openPage();
    EXPECT_TRUE(shownTexts(*page, standardText).contains(QStringLiteral("未设置")));
    // A failed plan: the points are never asked for.
    account->plans.fail(0, UsageAPIError::missingToken());
    ASSERT_TRUE(settled());
    EXPECT_TRUE(account->wallets.calls.isEmpty());
    const QString missingToken = UsageAPIError::missingToken().errorDescription();
    EXPECT_EQ(label(QStringLiteral("walletMessage")), missingToken);
    EXPECT_EQ(ink(QStringLiteral("walletMessage")), WindowTheme::orange());

    // Another account signs in while a reload waits; the older one answers
    // last and is dropped; the error stays until the newest succeeds.
    store().reload();
    signIn(QStringLiteral("other@x.io"), QStringLiteral("ja_JP"));
    EXPECT_TRUE(shownTexts(*page, standardText).contains(QStringLiteral("ja_JP")));
    EXPECT_EQ(sources->lists.calls.size(), 2) << "the input sources load once on opening and once on the change";
    ASSERT_EQ(account->plans.calls.size(), 3);
    account->plans.answer(2, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 1; }));
    account->plans.answer(1, PlanInfo{});
    // Resumed on the next turn, a reload would ask for the points at once.
    afterQueuedCalls();
    EXPECT_EQ(account->wallets.calls.size(), 1);
    EXPECT_TRUE(store().loading());
    EXPECT_EQ(store().errorText(), missingToken);
    account->wallets.answer(0, WalletInfo{0, 0, 7, std::nullopt, 2, 10});
    ASSERT_TRUE(settled());
    EXPECT_EQ(store().errorText(), std::nullopt);
    EXPECT_EQ(label(QStringLiteral("total")), QStringLiteral("7"));
    EXPECT_EQ(ink(QStringLiteral("total")), WindowTheme::accent());

    // A later failure keeps the balance on screen and hides its error.
    store().reload();
    account->plans.answer(3, PlanInfo{});
    ASSERT_TRUE(waitUntil([&] { return account->wallets.calls.size() == 2; }));
    account->wallets.fail(1, UsageAPIError::transport(QStringLiteral("offline")));
    ASSERT_TRUE(settled());
    EXPECT_EQ(label(QStringLiteral("total")), QStringLiteral("7"));
    EXPECT_EQ(label(QStringLiteral("walletMessage")), QString());

    // Signed out while a reload waits: its answers never reach the page.
    store().reload();
    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(session->logout());
    account->plans.answer(4, PlanInfo{});
    afterQueuedCalls();
    EXPECT_EQ(account->wallets.calls.size(), 2);
    EXPECT_EQ(store().wallet(), std::nullopt);
    EXPECT_FALSE(store().loading());
}

} // namespace
