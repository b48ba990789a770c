#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "Networking/AuthAPI.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include "AccountActions.h"
#include "AuthTestPrinters.h"
#include "InMemorySecureItemStore.h"
#include "LiveServerFixture.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using devbackend::AccountActions;
using vellamor::test::InMemorySecureItemStore;
using vellamor::test::LiveServerTest;

namespace {

// The real client and session against the development backend, with the
// keyring in memory.
class AuthSessionLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        accounts = AccountActions::install(server);
    }

    std::shared_ptr<AuthSession> launch()
    {
        auto api = std::make_shared<AuthAPI>(server.baseURL(), makeSession());
        auto keychain = std::make_shared<KeychainStore>(items, KeychainStore::defaultService(), u"session"_s);
        return std::make_shared<AuthSession>(
            api, keychain, VellamorLog(u"com.vellamor.app"_s, u"auth-session"_s, systemLog, nullptr), &Date::now,
            std::make_shared<UserDefaults>(test::testHome() + u"/live-defaults.ini"_s));
    }

    AuthMe signInWithUnifiedCode(AuthSession& session, const QString& email)
    {
        AuthAPI codes(server.baseURL(), makeSession());
        runBlocking(codes.requestUnifiedCode(email));
        runBlocking(session.loginWithUnifiedCode(email, accounts->lastCode(email).value_or(QString())));
        EXPECT_TRUE(session.publisher()->state().isAuthenticated());
        return session.publisher()->state().me().value_or(AuthMe());
    }

    std::shared_ptr<AccountActions> accounts;
    std::shared_ptr<InMemorySecureItemStore> items = std::make_shared<InMemorySecureItemStore>();
};

TEST_F(AuthSessionLive, SignedInUserIsRestoredByTheNextLaunch)
{
    const AuthMe me = signInWithUnifiedCode(*launch(), u"a@x.io"_s);
    const int meCalls = accounts->callCount(u"user.me"_s);

    const auto relaunched = launch();
    runBlocking(relaunched->bootstrap());
    EXPECT_EQ(accounts->callCount(u"user.me"_s), meCalls + 1);
    ASSERT_TRUE(relaunched->publisher()->state().isAuthenticated());
    EXPECT_EQ(relaunched->publisher()->state().me()->userId, me.userId);
    EXPECT_EQ(relaunched->publisher()->state().me()->email, u"a@x.io"_s);

    runBlocking(relaunched->logout());
    EXPECT_TRUE(accounts->liveRefreshTokens().isEmpty());
    EXPECT_EQ(items->itemCount(), 0);
}

TEST_F(AuthSessionLive, DueTokensAreRefreshedOnceForConcurrentCallers)
{
    // Every access token is issued inside the refresh margin.
    accounts->setAccessLifetime(std::chrono::seconds(20));
    accounts->setRefreshDelay(std::chrono::milliseconds(150));
    const auto session = launch();
    signInWithUnifiedCode(*session, u"a@x.io"_s);

    auto first = session->currentAccessToken();
    auto second = session->currentAccessToken();
    const auto a = runBlocking(std::move(first));
    const auto b = runBlocking(std::move(second));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a, b);
    EXPECT_EQ(accounts->callCount(u"auth.refresh"_s), 1);
    EXPECT_EQ(accounts->liveRefreshTokens().size(), 1);

    // The refreshed pair works, and is what the keyring now holds.
    AuthAPI check(server.baseURL(), makeSession());
    EXPECT_EQ(runBlocking(check.me(*a)).email, u"a@x.io"_s);
    const auto stored = runBlocking(KeychainStore(items, KeychainStore::defaultService(), u"session"_s).loadTokens());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->accessToken, *a);
}

TEST_F(AuthSessionLive, RestoreOfARevokedSessionSignsOutAndForgetsIt)
{
    const auto first = launch();
    signInWithUnifiedCode(*first, u"a@x.io"_s);
    for (const QString& token : accounts->liveRefreshTokens())
        runBlocking(AuthAPI(server.baseURL(), makeSession()).logout(token));

    const auto relaunched = launch();
    runBlocking(relaunched->bootstrap());
    EXPECT_FALSE(relaunched->publisher()->state().isAuthenticated());
    EXPECT_EQ(relaunched->publisher()->lastBootstrapError(), AuthAPIError::tokenRevoked());
    EXPECT_EQ(items->itemCount(), 0);
}

TEST_F(AuthSessionLive, RestoreWhileTheServerFailsKeepsTheSessionForLater)
{
    signInWithUnifiedCode(*launch(), u"a@x.io"_s);
    accounts->fail({u"user.me"_s, 50000, u"down"_s, 502, 1});

    const auto relaunched = launch();
    runBlocking(relaunched->bootstrap());
    EXPECT_FALSE(relaunched->publisher()->state().isAuthenticated());
    EXPECT_EQ(relaunched->publisher()->lastBootstrapError(), AuthAPIError::network(u"HTTP 502"_s));
    EXPECT_EQ(items->itemCount(), 1);

    const auto later = launch();
    runBlocking(later->bootstrap());
    EXPECT_TRUE(later->publisher()->state().isAuthenticated());
}

} // namespace
