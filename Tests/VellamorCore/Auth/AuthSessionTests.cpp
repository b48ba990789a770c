#include "Auth/AuthSession.h"
#include "Auth/AuthUnauthorizedReason.h"
#include "Auth/KeychainStatus.h"
#include "Support/Async/RunBlocking.h"

#include "AuthSessionFixture.h"
#include "ErrorOf.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace vellamor;
using namespace Qt::StringLiterals;
using vellamor::test::AuthSessionTest;
using vellamor::test::errorOf;

namespace {

using Op = test::FakeAuthAPI::Op;
using Variant = SecureItemStore::Variant;

const QString userAEmail = QStringLiteral("a@x.io");
const QString userBEmail = QStringLiteral("b@x.io");

// ---- bootstrap ----

TEST_F(AuthSessionTest, BootstrapWithoutStoredSessionStaysSignedOutAndDeletesNothing)
{
    runBlocking(session->bootstrap());
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
    EXPECT_TRUE(api->calls().isEmpty());
    EXPECT_EQ(infos(), (QStringList{QStringLiteral("bootstrap: loading tokens from keychain"),
                                    QStringLiteral("bootstrap: no tokens found")}));
    for (const QString& call : items->calls())
        EXPECT_TRUE(call.startsWith(u"read")) << call.toStdString();
}

TEST_F(AuthSessionTest, BootstrapRestoresAValidSessionWithTheServersUser)
{
    const AuthMe stored = user(7, userAEmail);
    AuthMe current = stored;
    current.locale = QStringLiteral("en");
    storeInKeyring(tokens(u"a"_s, 3600), stored);
    api->succeed(Op::me, current);

    runBlocking(session->bootstrap());

    EXPECT_EQ(api->calls(), QStringList{QStringLiteral("me at-a")});
    EXPECT_EQ(observer().state(), AuthState::authenticated(current));
    EXPECT_EQ(session->currentState(), AuthState::authenticated(current));
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
    const auto entries = systemLog->entries();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.last().publicPart, QStringLiteral("bootstrap: restored session"));
    EXPECT_EQ(entries.last().privatePart, userAEmail);
}

TEST_F(AuthSessionTest, BootstrapRefreshesAnExpiringStoredTokenBeforeAskingWhoItIs)
{
    storeInKeyring(tokens(u"a"_s, 10), user(7, userAEmail));
    api->succeed(Op::refresh, tokens(u"b"_s, 3600)).succeed(Op::me, user(7, userAEmail));
    runBlocking(session->bootstrap());
    EXPECT_EQ(api->calls(), (QStringList{QStringLiteral("refresh rt-a"), QStringLiteral("me at-b")}));
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
    ASSERT_TRUE(keyring().has_value());
    EXPECT_EQ(keyring()->tokens, tokens(u"b"_s, 3600));
}

struct BootstrapFailureCase {
    const char* name;
    double secondsLeft; // of the stored token; below 30 a refresh comes first
    std::function<void(test::FakeAuthAPI&)> script;
    AuthAPIError published;
    QString warning;
    bool itemKept;
};

TEST_F(AuthSessionTest, BootstrapFailuresSignOutAndDeleteOnlyWhatTheServerRefused)
{
    const BootstrapFailureCase cases[] = {
        {"user.me refused", 3600, [](auto& a) { a.fail(Op::me, AuthAPIError::tokenExpired()); },
         AuthAPIError::tokenExpired(), QStringLiteral("tokenExpired"), false},
        {"refresh refused", 5, [](auto& a) { a.fail(Op::refresh, AuthAPIError::tokenInvalid()); },
         AuthAPIError::tokenInvalid(), QStringLiteral("tokenInvalid"), false},
        {"user.me banned", 3600, [](auto& a) { a.fail(Op::me, AuthAPIError::userBanned(QStringLiteral("spam"))); },
         AuthAPIError::userBanned(QStringLiteral("spam")), QStringLiteral("userBanned(\"spam\")"), false},
        {"user.me unanswered", 3600,
         [](auto& a) { a.fail(Op::me, AuthAPIError::network(QStringLiteral("HTTP 502"))); },
         AuthAPIError::network(QStringLiteral("HTTP 502")), QStringLiteral("network(\"HTTP 502\")"), true},
        {"refresh unanswered", 5,
         [](auto& a) { a.fail(Op::refresh, AuthAPIError::network(QStringLiteral("no answer in time"))); },
         AuthAPIError::network(QStringLiteral("no answer in time")), QStringLiteral("network(\"no answer in time\")"),
         true},
        {"foreign error", 3600, [](auto& a) { a.fail(Op::me, std::runtime_error("boom")); },
         AuthAPIError::network(QStringLiteral("boom")), QStringLiteral("boom"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        storeInKeyring(tokens(u"a"_s, c.secondsLeft), user(7, userAEmail));
        c.script(*api);

        runBlocking(session->bootstrap());

        EXPECT_EQ(observer().state(), AuthState::unauthenticated());
        EXPECT_EQ(observer().lastBootstrapError(), c.published);
        EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
        EXPECT_EQ(warnings(), QStringList{QStringLiteral("bootstrap: token validation failed, clearing: ") + c.warning});
        EXPECT_EQ(keyring().has_value(), c.itemKept);
        // Signed out in memory either way: no token is handed out.
        EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);

        if (c.itemKept) {
            // The next launch restores what a failure without an answer kept.
            session = makeSession();
            if (c.secondsLeft < 30)
                api->succeed(Op::refresh, tokens(u"b"_s, 3600));
            api->succeed(Op::me, user(7, userAEmail));
            runBlocking(session->bootstrap());
            EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
        }
    }
}

TEST_F(AuthSessionTest, BootstrapDoesNotOverrideASignInThatFinishedFirst)
{
    for (const bool restoreSucceeds : {true, false}) {
        SCOPED_TRACE(restoreSucceeds ? "restore succeeds late" : "restore fails late");
        startOver();
        storeInKeyring(tokens(u"a"_s, 3600), user(7, userAEmail));
        if (restoreSucceeds)
            api->succeed(Op::me, user(7, userAEmail), std::chrono::milliseconds(40));
        else
            api->fail(Op::me, AuthAPIError::tokenRevoked(), std::chrono::milliseconds(40));

        auto restoring = session->bootstrap();
        ASSERT_TRUE(test::waitUntil([&] { return api->callCount(Op::me) == 1; }));
        signIn(tokens(u"b"_s, 3600), user(8, userBEmail));
        runBlocking(std::move(restoring));

        EXPECT_EQ(observer().state(), AuthState::authenticated(user(8, userBEmail)));
        EXPECT_FALSE(observer().lastBootstrapError().has_value());
        EXPECT_EQ(session->currentState(), AuthState::authenticated(user(8, userBEmail)));
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->tokens, tokens(u"b"_s, 3600));
        EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    }
}

// ---- access tokens and the shared refresh ----

TEST_F(AuthSessionTest, RefreshStartsExactlyThirtySecondsBeforeExpiry)
{
    const std::pair<double, bool> cases[] = {{31, false}, {30.5, false}, {30, true}, {1, true}, {-600, true}};
    for (const auto& [secondsLeft, refreshes] : cases) {
        SCOPED_TRACE(secondsLeft);
        startOver();
        signIn(tokens(u"a"_s, secondsLeft), user(7, userAEmail));
        if (refreshes)
            api->succeed(Op::refresh, tokens(u"b"_s, 3600));

        EXPECT_EQ(runBlocking(session->currentAccessToken()), refreshes ? u"at-b"_s : u"at-a"_s);
        EXPECT_EQ(api->callCount(Op::refresh), refreshes ? 1 : 0);
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->tokens.accessToken, refreshes ? u"at-b"_s : u"at-a"_s);
        EXPECT_EQ(keyring()->me, user(7, userAEmail));
    }
}

TEST_F(AuthSessionTest, ConcurrentCallersShareOneRefreshAndOneKeyringWrite)
{
    signIn(tokens(u"a"_s, 5), user(7, userAEmail));
    items->clearCalls();
    api->succeed(Op::refresh, tokens(u"b"_s, 3600), std::chrono::milliseconds(20));

    auto first = session->currentAccessToken();
    auto second = session->currentAccessToken();
    auto third = session->currentAccessToken();
    EXPECT_EQ(runBlocking(std::move(first)), QStringLiteral("at-b"));
    EXPECT_EQ(runBlocking(std::move(second)), QStringLiteral("at-b"));
    EXPECT_EQ(runBlocking(std::move(third)), QStringLiteral("at-b"));
    EXPECT_EQ(api->callCount(Op::refresh), 1);
    EXPECT_EQ(items->calls().count(u"write dp com.vellamor.app.auth/session"_s), 1);
    EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    EXPECT_EQ(api->callCount(Op::refresh), 1);
}

TEST_F(AuthSessionTest, RefusedRefreshSignsOutOnceForAllCallers)
{
    signIn(tokens(u"a"_s, 5), user(7, userAEmail));
    const auto seen = record();
    items->clearCalls();
    api->fail(Op::refresh, AuthAPIError::tokenRevoked(), std::chrono::milliseconds(20));

    auto starter = session->currentAccessToken();
    auto joiner = session->currentAccessToken();
    EXPECT_EQ(runBlocking(std::move(starter)), std::nullopt);
    EXPECT_EQ(runBlocking(std::move(joiner)), std::nullopt);

    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
    EXPECT_FALSE(keyring().has_value());
    EXPECT_EQ(items->calls().count(u"remove dp com.vellamor.app.auth/session"_s), 1);
    EXPECT_EQ(seen->states.size(), 2); // the current value, then one sign-out
    EXPECT_EQ(warnings(), (QStringList{QStringLiteral("currentAccessToken: tokenRevoked"),
                                       QStringLiteral("currentAccessToken: tokenRevoked")}));

    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
    EXPECT_EQ(warnings().last(), QStringLiteral("currentAccessToken: unauthorized"));
    EXPECT_EQ(api->callCount(Op::refresh), 1);
}

TEST_F(AuthSessionTest, RefreshWithoutAnAnswerKeepsTheSessionForTheNextTry)
{
    signIn(tokens(u"a"_s, 5), user(7, userAEmail));
    api->fail(Op::refresh, AuthAPIError::network(QStringLiteral("HTTP 503")));

    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("currentAccessToken: network(\"HTTP 503\")")});
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
    ASSERT_TRUE(keyring().has_value());
    EXPECT_EQ(keyring()->tokens, tokens(u"a"_s, 5));

    api->succeed(Op::refresh, tokens(u"b"_s, 3600));
    EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    EXPECT_EQ(api->calls().filter(u"refresh"_s), (QStringList{u"refresh rt-a"_s, u"refresh rt-a"_s}));
}

TEST_F(AuthSessionTest, KeyringFailureAfterARefreshKeepsTheNewPairInMemory)
{
    signIn(tokens(u"a"_s, 5), user(7, userAEmail));
    items->setWriteStatus(Variant::dataProtection, KeychainStatus::authFailed);
    items->setWriteStatus(Variant::file, KeychainStatus::notAvailable);
    api->succeed(Op::refresh, tokens(u"b"_s, 3600));
    EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
    EXPECT_TRUE(warnings().isEmpty());
    EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    EXPECT_EQ(api->callCount(Op::refresh), 1);
}

TEST_F(AuthSessionTest, CurrentAccessTokenWhileSignedOutLogsOnceAndAsksNobody)
{
    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("currentAccessToken: unauthorized")});
    EXPECT_TRUE(api->calls().isEmpty());
    EXPECT_TRUE(items->calls().isEmpty());
}

struct CancelCase {
    const char* name;
    std::function<QCoro::Task<void>(AuthSession&)> signOut;
    std::optional<AuthAPIError> published;
};

TEST_F(AuthSessionTest, SigningOutCancelsARunningRefresh)
{
    const CancelCase cases[] = {
        {"logout", [](AuthSession& s) { return s.logout(); }, std::nullopt},
        {"handleUnauthorized",
         [](AuthSession& s) { return s.handleUnauthorized(AuthAPIError::tokenExpired()); },
         AuthAPIError::tokenExpired()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        signIn(tokens(u"a"_s, 5), user(7, userAEmail));
        api->succeed(Op::refresh, tokens(u"b"_s, 3600), std::chrono::seconds(5));
        api->succeed(Op::logout);
        const auto seen = record();

        auto pending = session->currentAccessToken();
        ASSERT_TRUE(test::waitUntil([&] { return api->callCount(Op::refresh) == 1; }));
        runBlocking(c.signOut(*session));

        EXPECT_EQ(runBlocking(std::move(pending), std::chrono::seconds(2)), std::nullopt);
        EXPECT_EQ(api->cancelledRefreshes(), 1);
        EXPECT_EQ(observer().state(), AuthState::unauthenticated());
        EXPECT_EQ(observer().lastBootstrapError(), c.published);
        EXPECT_FALSE(keyring().has_value());
        EXPECT_EQ(seen->states.size(), 2); // no second sign-out from the cancelled refresh
        EXPECT_TRUE(warnings().contains(QStringLiteral("currentAccessToken: network(\"已取消\")")))
            << warnings().join(u"; ").toStdString();
    }
}

TEST_F(AuthSessionTest, LateRefreshResultAfterSignOutDoesNotBringTheSessionBack)
{
    signIn(tokens(u"a"_s, 5), user(7, userAEmail));
    api->setRefreshIgnoresStop(true);
    api->succeed(Op::refresh, tokens(u"b"_s, 3600), std::chrono::milliseconds(30));
    api->succeed(Op::logout);

    auto pending = session->currentAccessToken();
    runBlocking(session->logout());
    EXPECT_EQ(runBlocking(std::move(pending)), std::nullopt);
    EXPECT_EQ(warnings().last(), QStringLiteral("currentAccessToken: unauthorized"));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
    EXPECT_FALSE(keyring().has_value());
    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
}

struct SwitchCase {
    const char* name;
    bool ignoresStop;
    std::optional<AuthAPIError> refreshError;
};

TEST_F(AuthSessionTest, RefreshOfThePreviousUserNeverTouchesTheNextOne)
{
    const SwitchCase cases[] = {
        {"refresh cancelled by the sign-in", false, std::nullopt},
        {"late success", true, std::nullopt},
        {"late refusal", true, AuthAPIError::tokenRevoked()},
        {"late failure without answer", true, AuthAPIError::network(QStringLiteral("HTTP 502"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        signIn(tokens(u"a"_s, 5), user(7, userAEmail));
        api->setRefreshIgnoresStop(c.ignoresStop);
        if (c.refreshError)
            api->fail(Op::refresh, *c.refreshError, std::chrono::milliseconds(40));
        else
            api->succeed(Op::refresh, tokens(u"a2"_s, 3600), std::chrono::milliseconds(40));

        auto pending = session->currentAccessToken();
        ASSERT_TRUE(test::waitUntil([&] { return api->callCount(Op::refresh) == 1; }));
        signIn(tokens(u"b"_s, 3600), user(8, userBEmail));
        const auto seen = record();

        EXPECT_EQ(runBlocking(std::move(pending)), QStringLiteral("at-b"));
        EXPECT_EQ(observer().state(), AuthState::authenticated(user(8, userBEmail)));
        EXPECT_EQ(seen->states.size(), 1);
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->tokens, tokens(u"b"_s, 3600));
        EXPECT_EQ(keyring()->me, user(8, userBEmail));
        EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
        EXPECT_EQ(api->callCount(Op::refresh), 1);
    }
}

// ---- signing in ----

struct RoadCase {
    const char* name;
    Op op;
    std::function<QCoro::Task<void>(AuthSession&)> signIn;
};

const RoadCase roads[] = {
    {"registration code", Op::verifyCode,
     [](AuthSession& s) { return s.login(QStringLiteral("a@x.io"), QStringLiteral("123456")); }},
    {"password", Op::login,
     [](AuthSession& s) { return s.loginWithPassword(QStringLiteral("a@x.io"), QStringLiteral("password")); }},
    {"sign-in code", Op::loginWithCode,
     [](AuthSession& s) { return s.loginWithEmailCode(QStringLiteral("a@x.io"), QStringLiteral("123456")); }},
    {"unified code", Op::verifyUnifiedCode,
     [](AuthSession& s) -> QCoro::Task<void> {
         co_await s.loginWithUnifiedCode(QStringLiteral("a@x.io"), QStringLiteral("123456"));
     }},
};

TEST_F(AuthSessionTest, EverySignInRoadStoresTheSessionAndPublishesTheUser)
{
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        startOver();
        const AuthTokens signedTokens = tokens(u"a"_s, 3600);
        const AuthMe signedMe = user(7, userAEmail);
        if (road.op == Op::verifyUnifiedCode)
            api->succeed(road.op, VerifyCodeResponse{signedTokens, signedMe, false});
        else
            api->succeed(road.op, AuthAPIProtocol::SignIn{signedTokens, signedMe});

        runBlocking(road.signIn(*session));

        EXPECT_EQ(api->calls().size(), 1);
        EXPECT_EQ(observer().state(), AuthState::authenticated(signedMe));
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->tokens, signedTokens);
        EXPECT_EQ(keyring()->me, signedMe);
        ASSERT_EQ(systemLog->entries().size(), 1);
        EXPECT_EQ(systemLog->entries().first().publicPart, QStringLiteral("login success"));
        EXPECT_EQ(systemLog->entries().first().privatePart, userAEmail);
    }
}

TEST_F(AuthSessionTest, SignInErrorsPassThroughWithoutChangingAnything)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    const auto seen = record();
    items->clearCalls();
    const qsizetype logged = systemLog->entries().size();
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        api->fail(road.op, AuthAPIError::credentialsInvalid());
        EXPECT_EQ(errorOf<AuthAPIError>(road.signIn(*session)), AuthAPIError::credentialsInvalid());
    }
    EXPECT_EQ(seen->states.size(), 1);
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
    EXPECT_TRUE(items->calls().isEmpty());
    EXPECT_EQ(systemLog->entries().size(), logged);
}

TEST_F(AuthSessionTest, KeyringSaveFailureRollsBackToSignedOutEvenFromAnotherUser)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    items->setWriteStatus(Variant::dataProtection, -25293);
    items->setWriteStatus(Variant::file, KeychainStatus::notAvailable);
    api->succeed(Op::login, AuthAPIProtocol::SignIn{tokens(u"b"_s, 3600), user(8, userBEmail)});

    EXPECT_EQ(errorOf<AuthAPIError>(session->loginWithPassword(userBEmail, QStringLiteral("pw"))),
              AuthAPIError::keychainWriteFailed(-25293));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::keychainWriteFailed(-25293));
    EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("keychain save failed, rolling back: status=-25293")});
    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
    // The failed write destroyed nothing: the earlier session is still stored.
    ASSERT_TRUE(keyring().has_value());
    EXPECT_EQ(keyring()->me, user(7, userAEmail));
}

TEST_F(AuthSessionTest, UnifiedSignInFlagsOnlyNewAccounts)
{
    const QString key = AuthSession::justRegisteredKey();
    EXPECT_EQ(key, QStringLiteral("auth.just_registered"));

    api->succeed(Op::verifyUnifiedCode, VerifyCodeResponse{tokens(u"a"_s, 3600), user(7, userAEmail), false});
    EXPECT_FALSE(runBlocking(session->loginWithUnifiedCode(userAEmail, QStringLiteral("1"))));
    EXPECT_FALSE(defaults->contains(key));

    api->succeed(Op::verifyUnifiedCode, VerifyCodeResponse{tokens(u"b"_s, 3600), user(8, userBEmail), true});
    EXPECT_TRUE(runBlocking(session->loginWithUnifiedCode(userBEmail, QStringLiteral("1"))));
    EXPECT_TRUE(defaults->boolValue(key));

    // Never cleared by the session.
    api->succeed(Op::verifyUnifiedCode, VerifyCodeResponse{tokens(u"c"_s, 3600), user(7, userAEmail), false});
    EXPECT_FALSE(runBlocking(session->loginWithUnifiedCode(userAEmail, QStringLiteral("1"))));
    EXPECT_TRUE(defaults->boolValue(key));
}

TEST_F(AuthSessionTest, NewAccountIsNotFlaggedWhenTheSessionCouldNotBeStored)
{
    items->setWriteStatus(Variant::dataProtection, -25293);
    items->setWriteStatus(Variant::file, -25293);
    api->succeed(Op::verifyUnifiedCode, VerifyCodeResponse{tokens(u"a"_s, 3600), user(7, userAEmail), true});
    EXPECT_EQ(errorOf<AuthAPIError>(session->loginWithUnifiedCode(userAEmail, QStringLiteral("1"))),
              AuthAPIError::keychainWriteFailed(-25293));
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
}

TEST_F(AuthSessionTest, SuccessfulSignInClearsAnEarlierRestoreError)
{
    storeInKeyring(tokens(u"a"_s, 3600), user(7, userAEmail));
    api->fail(Op::me, AuthAPIError::tokenRevoked());
    runBlocking(session->bootstrap());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenRevoked());

    signIn(tokens(u"b"_s, 3600), user(7, userAEmail));
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, userAEmail)));
}

// ---- signing out ----

TEST_F(AuthSessionTest, LogoutRevokesClearsAndPublishes)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    api->succeed(Op::logout);
    runBlocking(session->logout());
    EXPECT_EQ(api->calls().last(), QStringLiteral("logout rt-a"));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
    EXPECT_FALSE(keyring().has_value());
    EXPECT_EQ(infos().last(), QStringLiteral("logout: session cleared"));
    EXPECT_TRUE(warnings().isEmpty());
}

TEST_F(AuthSessionTest, LogoutWhileSignedOutStillDeletesAndPublishes)
{
    const auto seen = record();
    runBlocking(session->logout());
    runBlocking(session->logout());
    EXPECT_TRUE(api->calls().isEmpty());
    EXPECT_EQ(items->calls().count(u"remove dp com.vellamor.app.auth/session"_s), 2);
    EXPECT_EQ(items->calls().count(u"remove file com.vellamor.app.auth/session"_s), 2);
    EXPECT_EQ(seen->states, (QList<AuthState>(3, AuthState::unauthenticated())));
}

TEST_F(AuthSessionTest, LogoutWithTheServerUnreachableStillSignsOutLocally)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    api->fail(Op::logout, AuthAPIError::network(QStringLiteral("HTTP 502")));
    runBlocking(session->logout());
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("logout: remote revoke failed: network(\"HTTP 502\")")});
    EXPECT_EQ(infos().last(), QStringLiteral("logout: session cleared"));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_FALSE(keyring().has_value());
}

TEST_F(AuthSessionTest, LogoutReportsAFailedKeyringCleanupUntilTheNextSignIn)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    api->succeed(Op::logout);
    items->setRemoveStatus(Variant::dataProtection, -25293);
    runBlocking(session->logout());
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::keychainCleanupFailed(-25293));
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("logout: keychain cleanup failed: status=-25293")});
    EXPECT_EQ(infos().last(), QStringLiteral("logout: session cleared"));

    items->setRemoveStatus(Variant::dataProtection, 0);
    signIn(tokens(u"b"_s, 3600), user(7, userAEmail));
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
}

TEST_F(AuthSessionTest, HandleUnauthorizedWhileSignedInClearsEverything)
{
    signIn(tokens(u"a"_s, 3600), user(7, userAEmail));
    runBlocking(session->handleUnauthorized(AuthUnauthorizedReason::from(40101)));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenExpired());
    EXPECT_FALSE(keyring().has_value());
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("handleUnauthorized: clearing session due to tokenExpired")});
    EXPECT_EQ(api->callCount(Op::logout), 0);
}

TEST_F(AuthSessionTest, HandleUnauthorizedWhileSignedOutKeepsARestoreErrorOnShow)
{
    storeInKeyring(tokens(u"a"_s, 3600), user(7, userAEmail));
    api->fail(Op::me, AuthAPIError::tokenRevoked());
    runBlocking(session->bootstrap());
    const auto seen = record();
    items->clearCalls();

    runBlocking(session->handleUnauthorized(AuthAPIError::tokenInvalid()));
    EXPECT_EQ(seen->states.size(), 1);
    EXPECT_EQ(seen->errors.size(), 1);
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenRevoked());

    runBlocking(session->clearBootstrapError());
    runBlocking(session->handleUnauthorized(AuthAPIError::tokenInvalid()));
    EXPECT_EQ(seen->states.size(), 2);
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenInvalid());
    EXPECT_TRUE(items->calls().isEmpty());
    EXPECT_EQ(warnings().filter(u"handleUnauthorized"_s).size(), 0);
}

TEST_F(AuthSessionTest, SignOutDuringAKeyringSaveCannotBeUndoneByTheSave)
{
    items->setLatency(std::chrono::milliseconds(20));
    api->succeed(Op::login, AuthAPIProtocol::SignIn{tokens(u"a"_s, 3600), user(7, userAEmail)});
    api->succeed(Op::logout);

    auto signingIn = session->loginWithPassword(userAEmail, QStringLiteral("pw"));
    ASSERT_TRUE(test::waitUntil([&] { return items->calls().contains(u"write dp com.vellamor.app.auth/session"_s); }));
    auto signingOut = session->logout();
    runBlocking(std::move(signingIn));
    runBlocking(std::move(signingOut));

    EXPECT_EQ(api->calls().last(), QStringLiteral("logout rt-a"));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
    EXPECT_FALSE(keyring().has_value());
    EXPECT_EQ(items->itemCount(), 0);
}

} // namespace
