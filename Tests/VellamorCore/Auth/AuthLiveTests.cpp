#include "Networking/AuthAPI.h"
#include "Support/Async/RunBlocking.h"

#include "AccountActions.h"
#include "AuthTestPrinters.h"
#include "ErrorOf.h"
#include "LiveServerFixture.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::AccountActions;
using vellamor::test::errorOf;
using vellamor::test::LiveServerTest;

namespace {

// The real client against the development backend.
class AuthLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        accounts = AccountActions::install(server);
        api = std::make_unique<AuthAPI>(server.baseURL(), makeSession());
    }

    QString codeFor(const QString& email) const
    {
        const auto code = accounts->lastCode(email);
        EXPECT_TRUE(code.has_value()) << email.toStdString();
        return code.value_or(QString());
    }

    std::shared_ptr<AccountActions> accounts;
    std::unique_ptr<AuthAPI> api;
};

TEST_F(AuthLive, UnifiedCodeRegistersAFirstTimerAndSignsInAReturningOne)
{
    const QString email = QStringLiteral("new@x.io");
    const RequestCodeResponse first = runBlocking(api->requestUnifiedCode(email));
    EXPECT_TRUE(first.isRegister());
    EXPECT_EQ(first.expiresInSeconds, 600);

    EXPECT_EQ(
        errorOf<AuthAPIError>(api->verifyUnifiedCode(email, QStringLiteral("not-it"))), AuthAPIError::invalidCode());
    const VerifyCodeResponse created = runBlocking(api->verifyUnifiedCode(email, codeFor(email)));
    EXPECT_TRUE(created.isNew);
    EXPECT_EQ(created.me.email, email);
    EXPECT_FALSE(created.me.lastLoginAt.has_value());
    // A code is used once.
    EXPECT_EQ(errorOf<AuthAPIError>(api->verifyUnifiedCode(email, codeFor(email))), AuthAPIError::codeExpired());

    const RequestCodeResponse again = runBlocking(api->requestUnifiedCode(email));
    EXPECT_EQ(again.purpose, QStringLiteral("login"));
    const VerifyCodeResponse returning = runBlocking(api->verifyUnifiedCode(email, codeFor(email)));
    EXPECT_FALSE(returning.isNew);
    EXPECT_EQ(returning.me.userId, created.me.userId);
    EXPECT_TRUE(returning.me.lastLoginAt.has_value());
}

TEST_F(AuthLive, RefreshRotatesAndUserMeJudgesTheAccessToken)
{
    accounts->addUser(QStringLiteral("u@x.io"), QStringLiteral("password1"));
    const auto [tokens, me] = runBlocking(api->login(QStringLiteral("u@x.io"), QStringLiteral("password1")));

    EXPECT_EQ(runBlocking(api->me(tokens.accessToken)).userId, me.userId);
    EXPECT_EQ(server.requests().last().header("Authorization"), "Bearer " + tokens.accessToken.toUtf8());

    const AuthTokens rotated = runBlocking(api->refresh(tokens.refreshToken));
    EXPECT_NE(rotated.refreshToken, tokens.refreshToken);
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::tokenInvalid());
    EXPECT_EQ(runBlocking(api->me(rotated.accessToken)).userId, me.userId);

    EXPECT_EQ(errorOf<AuthAPIError>(api->me(QString())), AuthAPIError::unauthorized());
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(QStringLiteral("at_unknown"))), AuthAPIError::tokenInvalid());

    runBlocking(api->logout(rotated.refreshToken));
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(rotated.accessToken)), AuthAPIError::tokenRevoked());
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(rotated.refreshToken)), AuthAPIError::tokenInvalid());

    const auto [later, laterMe] = runBlocking(api->login(QStringLiteral("u@x.io"), QStringLiteral("password1")));
    accounts->expireAccessTokens();
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(later.accessToken)), AuthAPIError::tokenExpired());
}

TEST_F(AuthLive, InjectedFailuresReachTheCallerMapped)
{
    accounts->addUser(QStringLiteral("u@x.io"), QStringLiteral("password1"));
    const auto [tokens, me] = runBlocking(api->login(QStringLiteral("u@x.io"), QStringLiteral("password1")));

    // A 401 whose envelope says 0 is a success.
    accounts->fail({ QStringLiteral("user.me"), 0, {}, 401, 1 });
    EXPECT_EQ(runBlocking(api->me(tokens.accessToken)).userId, me.userId);

    accounts->fail({ QStringLiteral("auth.refresh"), 50000, QStringLiteral("down"), 503, 1 });
    EXPECT_EQ(
        errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::network(QStringLiteral("HTTP 503")));

    accounts->ban(QStringLiteral("u@x.io"), QStringLiteral("spam"));
    EXPECT_EQ(errorOf<AuthAPIError>(api->login(QStringLiteral("u@x.io"), QStringLiteral("password1"))),
        AuthAPIError::userBanned(QStringLiteral("spam")));
    EXPECT_EQ(
        errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::userBanned(QStringLiteral("spam")));
}

} // namespace
