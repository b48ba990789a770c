#include "Networking/AuthAPI.h"
#include "Support/Async/RunBlocking.h"

#include "AccountActions.h"
#include "AuthTestPrinters.h"
#include "ErrorOf.h"
#include "LiveServerFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using devbackend::AccountActions;
using vellamor::test::errorOf;
using vellamor::test::LiveServerTest;

namespace {

class AuthAPILive : public LiveServerTest {
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

    // The "data" of the last request the server received, and its headers.
    QJsonObject lastPayload() const
    {
        return QJsonDocument::fromJson(server.requests().last().body).object().value(u"data"_s).toObject();
    }

    std::shared_ptr<AccountActions> accounts;
    std::unique_ptr<AuthAPI> api;
};

TEST_F(AuthAPILive, UnifiedCodeRegistersAFirstTimerAndSignsInAReturningOne)
{
    const QString email = u"new@x.io"_s;
    const RequestCodeResponse first = runBlocking(api->requestUnifiedCode(email));
    EXPECT_TRUE(first.isRegister());
    EXPECT_EQ(first.expiresInSeconds, 600);

    EXPECT_EQ(errorOf<AuthAPIError>(api->verifyUnifiedCode(email, u"not-it"_s)), AuthAPIError::invalidCode());
    const VerifyCodeResponse created = runBlocking(api->verifyUnifiedCode(email, codeFor(email)));
    EXPECT_TRUE(created.isNew);
    EXPECT_EQ(created.me.email, email);
    EXPECT_FALSE(created.me.lastLoginAt.has_value());
    EXPECT_GT(created.tokens.expiresAt, Date::now().addingSeconds(3000));
    // A code is used once.
    EXPECT_EQ(errorOf<AuthAPIError>(api->verifyUnifiedCode(email, codeFor(email))), AuthAPIError::codeExpired());

    const RequestCodeResponse again = runBlocking(api->requestUnifiedCode(email));
    EXPECT_EQ(again.purpose, u"login"_s);
    const VerifyCodeResponse returning = runBlocking(api->verifyUnifiedCode(email, codeFor(email)));
    EXPECT_FALSE(returning.isNew);
    EXPECT_EQ(returning.me.userId, created.me.userId);
    EXPECT_TRUE(returning.me.lastLoginAt.has_value());
    EXPECT_NE(returning.tokens.accessToken, created.tokens.accessToken);
}

TEST_F(AuthAPILive, RegistrationThenPasswordAndCodeSignIn)
{
    const QString email = u"reg@x.io"_s;
    EXPECT_EQ(errorOf<AuthAPIError>(api->requestCode(u"not-an-email"_s, u"password1"_s)), AuthAPIError::invalidEmail());
    EXPECT_EQ(errorOf<AuthAPIError>(api->requestCode(email, u"short"_s)), AuthAPIError::invalidPassword());

    runBlocking(api->requestCode(email, u"password1"_s));
    EXPECT_EQ(lastPayload(), (QJsonObject{{u"email"_s, email}, {u"password"_s, u"password1"_s}}));
    const auto [tokens, me] = runBlocking(api->verifyCode(email, codeFor(email)));
    EXPECT_EQ(me.email, email);
    EXPECT_EQ(me.locale, u"zh-CN"_s);
    EXPECT_EQ(errorOf<AuthAPIError>(api->requestCode(email, u"password1"_s)), AuthAPIError::server(40901, u"邮箱已注册"_s));

    EXPECT_EQ(errorOf<AuthAPIError>(api->login(email, u"password2"_s)), AuthAPIError::credentialsInvalid());
    const auto [passwordTokens, passwordMe] = runBlocking(api->login(email, u"password1"_s));
    EXPECT_EQ(passwordMe.userId, me.userId);
    EXPECT_NE(passwordTokens.refreshToken, tokens.refreshToken);

    EXPECT_EQ(errorOf<AuthAPIError>(api->requestLoginCode(u"nobody@x.io"_s)),
              AuthAPIError::server(40402, u"user not found"_s));
    runBlocking(api->requestLoginCode(email));
    EXPECT_EQ(errorOf<AuthAPIError>(api->loginWithCode(email, u"000000x"_s)), AuthAPIError::invalidCode());
    const auto [codeTokens, codeMe] = runBlocking(api->loginWithCode(email, codeFor(email)));
    EXPECT_EQ(codeMe.userId, me.userId);
}

TEST_F(AuthAPILive, RefreshRotatesAndUserMeJudgesTheAccessToken)
{
    accounts->addUser(u"u@x.io"_s, u"password1"_s);
    const auto [tokens, me] = runBlocking(api->login(u"u@x.io"_s, u"password1"_s));

    const AuthMe who = runBlocking(api->me(tokens.accessToken));
    EXPECT_EQ(who.userId, me.userId);
    EXPECT_EQ(server.requests().last().header("Authorization"), "Bearer " + tokens.accessToken.toUtf8());

    const AuthTokens rotated = runBlocking(api->refresh(tokens.refreshToken));
    EXPECT_EQ(lastPayload(), (QJsonObject{{u"refresh_token"_s, tokens.refreshToken}}));
    EXPECT_FALSE(server.requests().last().header("Authorization").has_value());
    EXPECT_NE(rotated.refreshToken, tokens.refreshToken);
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::tokenInvalid());
    EXPECT_EQ(runBlocking(api->me(rotated.accessToken)).userId, me.userId);

    EXPECT_EQ(errorOf<AuthAPIError>(api->me(QString())), AuthAPIError::unauthorized());
    EXPECT_FALSE(server.requests().last().header("Authorization").has_value());
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(u"at_unknown"_s)), AuthAPIError::tokenInvalid());

    runBlocking(api->logout(rotated.refreshToken));
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(rotated.accessToken)), AuthAPIError::tokenRevoked());
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(rotated.refreshToken)), AuthAPIError::tokenInvalid());

    const auto [later, laterMe] = runBlocking(api->login(u"u@x.io"_s, u"password1"_s));
    accounts->expireAccessTokens();
    EXPECT_EQ(errorOf<AuthAPIError>(api->me(later.accessToken)), AuthAPIError::tokenExpired());
}

TEST_F(AuthAPILive, InjectedFailuresReachTheCallerMapped)
{
    accounts->addUser(u"u@x.io"_s, u"password1"_s);
    const auto [tokens, me] = runBlocking(api->login(u"u@x.io"_s, u"password1"_s));

    // A 401 whose envelope says 0 is a success.
    accounts->fail({u"user.me"_s, 0, {}, 401, 1});
    EXPECT_EQ(runBlocking(api->me(tokens.accessToken)).userId, me.userId);

    for (const qint64 code : {40100, 40101, 40102, 40103}) {
        accounts->fail({u"user.me"_s, code, u"no"_s, 401, 1});
        EXPECT_EQ(errorOf<AuthAPIError>(api->me(tokens.accessToken)), AuthAPI::mapServerError(code, {})) << code;
    }
    accounts->fail({u"auth.refresh"_s, 50000, u"down"_s, 503, 1});
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::network(u"HTTP 503"_s));
    accounts->fail({u"auth.requestCode"_s, 42901, u"slow down"_s, 429, 1});
    EXPECT_EQ(errorOf<AuthAPIError>(api->requestUnifiedCode(u"u@x.io"_s)), AuthAPIError::tooManyRequests());
    accounts->fail({u"auth.requestCode"_s, 50023, u"smtp"_s, 200, 1});
    EXPECT_EQ(errorOf<AuthAPIError>(api->requestUnifiedCode(u"u@x.io"_s)), AuthAPIError::mailerFailed());

    accounts->ban(u"u@x.io"_s, u"spam"_s);
    EXPECT_EQ(errorOf<AuthAPIError>(api->login(u"u@x.io"_s, u"password1"_s)), AuthAPIError::userBanned(u"spam"_s));
    EXPECT_EQ(errorOf<AuthAPIError>(api->refresh(tokens.refreshToken)), AuthAPIError::userBanned(u"spam"_s));
}

TEST_F(AuthAPILive, ConfigureActionSetsTheSwitchesFromOutside)
{
    QJsonObject configure{{u"access_lifetime_s"_s, 20},
                          {u"fail"_s, QJsonObject{{u"action"_s, u"auth.login"_s}, {u"code"_s, 42901},
                                                  {u"http_status"_s, 429}}}};
    const QByteArray body = QJsonDocument(QJsonObject{{u"action"_s, u"dev.auth.configure"_s}, {u"data"_s, configure}})
                                .toJson(QJsonDocument::Compact);
    HTTPRequest request = echoRequest(server.baseURL().resolved(QUrl(u"v1/api.json"_s)));
    request.body = body;
    const HTTPResult result = runBlocking(makeSession()->data(request));
    EXPECT_EQ(result.response.statusCode, 200);
    EXPECT_EQ(accounts->accessLifetime(), std::chrono::seconds(20));

    accounts->addUser(u"u@x.io"_s, u"password1"_s);
    EXPECT_EQ(errorOf<AuthAPIError>(api->login(u"u@x.io"_s, u"password1"_s)), AuthAPIError::tooManyRequests());
    const auto [tokens, me] = runBlocking(api->login(u"u@x.io"_s, u"password1"_s));
    EXPECT_LT(tokens.expiresAt, Date::now().addingSeconds(21));
}

} // namespace
