#include "Auth/AsyncMutex.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStatus.h"
#include "Auth/KeychainStore.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"

#include "AuthTestPrinters.h"
#include "ErrorOf.h"
#include "FakeAuthAPI.h"
#include "InMemorySecureItemStore.h"
#include "RecordingSystemLog.h"
#include "TestEnvironment.h"
#include "WaitUntil.h"

#include <QCoreApplication>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

using namespace vellamor;
using vellamor::test::errorOf;

namespace {

using Op = test::FakeAuthAPI::Op;
using Variant = SecureItemStore::Variant;

const QString userAEmail = QStringLiteral("a@x.io");
const QString userBEmail = QStringLiteral("b@x.io");

// An AuthSession over a scripted client, an in-memory keyring and a clock
// that stands still.
class AuthSessionTest : public ::testing::Test {
protected:
    void SetUp() override { session = makeSession(); }

    std::shared_ptr<AuthSession> makeSession()
    {
        auto keychain = std::make_shared<KeychainStore>(
            items, QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session"));
        return std::make_shared<AuthSession>(
            api, keychain,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("auth-session"), systemLog, nullptr),
            [] { return Date::fromUnixSeconds(1'800'000'000); }, defaults, sleep);
    }

    void TearDown() override { test::afterQueuedCalls(); }

    // A fresh client, keyring and session, for each case of a table.
    void startOver()
    {
        api = std::make_shared<test::FakeAuthAPI>();
        items = std::make_shared<test::InMemorySecureItemStore>();
        session = makeSession();
    }

    static AuthTokens tokens(const QString& name, double secondsLeft)
    {
        return AuthTokens{QStringLiteral("at-") + name, QStringLiteral("rt-") + name,
                          Date::fromUnixSeconds(1'800'000'000).addingSeconds(secondsLeft)};
    }
    static AuthMe user(qint64 id, const QString& email)
    {
        return AuthMe{id, email, QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000), std::nullopt};
    }

    void storeInKeyring(const AuthTokens& stored, const std::optional<AuthMe>& storedMe)
    {
        items->put(QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session"),
            KeychainStore::encodeDocument(stored, storedMe), Variant::dataProtection);
    }
    // What the keyring holds, none when nothing decodable is stored.
    using Stored = std::pair<AuthTokens, std::optional<AuthMe>>;
    std::optional<Stored> keyring() const
    {
        const auto data
            = items->item(QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session"), Variant::dataProtection);
        const auto stored = data ? KeychainStore::decodeDocument(*data) : std::nullopt;
        return stored ? std::optional(Stored(stored->tokens, stored->me)) : std::nullopt;
    }
    static Stored holding(const AuthTokens& storedTokens, const AuthMe& storedMe) { return {storedTokens, storedMe}; }

    // Signs in through the password road.
    void signIn(const AuthTokens& signedTokens, const AuthMe& signedMe)
    {
        api->succeed(Op::login, AuthAPIProtocol::SignIn{signedTokens, signedMe});
        runBlocking(session->loginWithPassword(signedMe.email, QStringLiteral("password")));
    }

    const AuthSessionObserver& observer() const { return *session->publisher(); }

    // Every state the observer delivers from now on (the current one first).
    struct Recorder {
        QList<AuthState> states;
        Subscription subscription;
    };
    std::unique_ptr<Recorder> record() const
    {
        auto recorder = std::make_unique<Recorder>();
        Recorder* raw = recorder.get();
        recorder->subscription =
            session->publisher()->subscribeState([raw](const AuthState& state) { raw->states.append(state); });
        return recorder;
    }

    std::shared_ptr<test::FakeAuthAPI> api = std::make_shared<test::FakeAuthAPI>();
    std::shared_ptr<test::InMemorySecureItemStore> items = std::make_shared<test::InMemorySecureItemStore>();
    std::shared_ptr<test::RecordingSystemLog> systemLog = std::make_shared<test::RecordingSystemLog>();
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(
        test::testHome() + QStringLiteral("/defaults-") + QUuid::createUuid().toString(QUuid::WithoutBraces)
        + QStringLiteral(".ini"));
    // Restores are not retried unless a test says so.
    SleepFunction sleep = [](std::chrono::milliseconds, std::stop_token) -> QCoro::Task<bool> { co_return false; };
    std::shared_ptr<AuthSession> session;
};

struct BootstrapCase {
    const char* name;
    std::optional<double> secondsLeft; // of the stored token (none: nothing stored); below 30 a refresh comes first
    std::function<void(test::FakeAuthAPI&)> script;
    QStringList calls;
    std::optional<AuthMe> signedInAs; // the stored user: not confirmed by the server
    std::optional<AuthAPIError> published;
    bool itemKept;
    std::optional<QString> token;
};

// A refusal signs out and deletes the stored session; a failure without an
// answer keeps the stored session, signed in as the stored user until the
// server can be asked again.
TEST_F(AuthSessionTest, BootstrapRestoresOrSignsOutAndDeletesOnlyWhatTheServerRefused)
{
    AuthMe current = user(7, userAEmail);
    current.locale = QStringLiteral("en"); // the server's user wins over the stored one
    const AuthMe stored = user(7, userAEmail);
    const QStringList me { QStringLiteral("me at-a") };
    const QStringList refresh { QStringLiteral("refresh rt-a") };
    const BootstrapCase cases[] = {
        { "nothing stored", std::nullopt, [](auto&) {}, {}, std::nullopt, std::nullopt, false, std::nullopt },
        { "valid", 3600, [&](auto& a) { a.succeed(Op::me, current); }, me, current, std::nullopt, true,
            QStringLiteral("at-a") },
        { "expiring", 10,
            [&](auto& a) { a.succeed(Op::refresh, tokens(QStringLiteral("b"), 3600)).succeed(Op::me, current); },
            { QStringLiteral("refresh rt-a"), QStringLiteral("me at-b") }, current, std::nullopt, true,
            QStringLiteral("at-b") },
        { "user.me refused", 3600, [](auto& a) { a.fail(Op::me, AuthAPIError::tokenExpired()); }, me, std::nullopt,
            AuthAPIError::tokenExpired(), false, std::nullopt },
        { "refresh refused", 5, [](auto& a) { a.fail(Op::refresh, AuthAPIError::tokenInvalid()); }, refresh,
            std::nullopt, AuthAPIError::tokenInvalid(), false, std::nullopt },
        { "user.me unanswered", 3600,
            [](auto& a) { a.fail(Op::me, AuthAPIError::network(QStringLiteral("HTTP 502"))); }, me, stored,
            std::nullopt, true, QStringLiteral("at-a") },
        { "refresh unanswered", 5,
            [](auto& a) {
                a.fail(Op::refresh, AuthAPIError::network(QStringLiteral("x")))
                    .fail(Op::refresh, std::runtime_error("x"));
            },
            refresh, stored, std::nullopt, true, std::nullopt },
        { "foreign error", 3600, [](auto& a) { a.fail(Op::me, std::runtime_error("boom")); }, me, stored, std::nullopt,
            true, QStringLiteral("at-a") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.secondsLeft)
            storeInKeyring(tokens(QStringLiteral("a"), *c.secondsLeft), stored);
        c.script(*api);

        runBlocking(session->bootstrap());

        EXPECT_EQ(api->calls(), c.calls);
        const AuthState expected = c.signedInAs ? AuthState::authenticated(*c.signedInAs) : AuthState::unauthenticated();
        EXPECT_EQ(observer().state(), expected);
        EXPECT_EQ(session->currentState(), expected);
        EXPECT_EQ(session->isUnconfirmed(), c.signedInAs == stored);
        EXPECT_EQ(observer().lastBootstrapError(), c.published);
        EXPECT_EQ(keyring().has_value(), c.itemKept);
        EXPECT_EQ(runBlocking(session->currentAccessToken()), c.token);
    }
}

// Without an answer the restore is tried again after 1, 2, 4 … 60 s; the
// first answer decides: the user confirmed, or signed out by a refusal.
TEST_F(AuthSessionTest, AnUnansweredRestoreIsRetriedWithBackOffUntilTheServerAnswers)
{
    auto waits = std::make_shared<QList<qint64>>();
    sleep = [waits](std::chrono::milliseconds wait, std::stop_token) -> QCoro::Task<bool> {
        waits->append(wait.count());
        co_return true;
    };
    for (const bool refused : {false, true}) {
        startOver();
        waits->clear();
        storeInKeyring(tokens(QStringLiteral("a"), 3600), user(7, userAEmail));
        for (int i = 0; i < 8; ++i)
            api->fail(Op::me, AuthAPIError::network(QStringLiteral("HTTP 502")));
        refused ? api->fail(Op::me, AuthAPIError::tokenRevoked()) : api->succeed(Op::me, user(7, userBEmail));
        const auto states = record();

        runBlocking(session->bootstrap());
        ASSERT_TRUE(test::waitUntil([&] { return states->states.size() == 3; }));
        EXPECT_FALSE(session->isUnconfirmed());

        EXPECT_EQ(*waits, (QList<qint64>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000}));
        const AuthState last = refused ? AuthState::unauthenticated() : AuthState::authenticated(user(7, userBEmail));
        EXPECT_EQ(states->states,
                  (QList<AuthState>{AuthState::unauthenticated(), AuthState::authenticated(user(7, userAEmail)), last}));
        EXPECT_EQ(keyring().has_value(), !refused);
    }
}

TEST_F(AuthSessionTest, BootstrapDoesNotOverrideASignInThatFinishedFirst)
{
    for (const bool restoreSucceeds : {true, false}) {
        SCOPED_TRACE(restoreSucceeds ? "restore succeeds late" : "restore fails late");
        startOver();
        storeInKeyring(tokens(QStringLiteral("a"), 3600), user(7, userAEmail));
        if (restoreSucceeds)
            api->succeed(Op::me, user(7, userAEmail), std::chrono::milliseconds(40));
        else
            api->fail(Op::me, AuthAPIError::tokenRevoked(), std::chrono::milliseconds(40));

        auto restoring = session->bootstrap();
        ASSERT_TRUE(test::waitUntil([&] { return api->callCount(Op::me) == 1; }));
        signIn(tokens(QStringLiteral("b"), 3600), user(8, userBEmail));
        runBlocking(std::move(restoring));

        EXPECT_EQ(observer().state(), AuthState::authenticated(user(8, userBEmail)));
        EXPECT_FALSE(observer().lastBootstrapError().has_value());
        EXPECT_EQ(session->currentState(), AuthState::authenticated(user(8, userBEmail)));
        EXPECT_EQ(keyring(), holding(tokens(QStringLiteral("b"), 3600), user(8, userBEmail)));
        EXPECT_EQ(runBlocking(session->currentAccessToken()), QStringLiteral("at-b"));
    }
}

TEST_F(AuthSessionTest, RefreshStartsExactlyThirtySecondsBeforeExpiry)
{
    const std::pair<double, bool> cases[] = {{31, false}, {30.5, false}, {30, true}, {1, true}, {-600, true}};
    for (const auto& [secondsLeft, refreshes] : cases) {
        SCOPED_TRACE(secondsLeft);
        startOver();
        signIn(tokens(QStringLiteral("a"), secondsLeft), user(7, userAEmail));
        if (refreshes)
            api->succeed(Op::refresh, tokens(QStringLiteral("b"), 3600));

        EXPECT_EQ(
            runBlocking(session->currentAccessToken()), refreshes ? QStringLiteral("at-b") : QStringLiteral("at-a"));
        EXPECT_EQ(api->callCount(Op::refresh), refreshes ? 1 : 0);
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->first.accessToken, refreshes ? QStringLiteral("at-b") : QStringLiteral("at-a"));
        EXPECT_EQ(keyring()->second, user(7, userAEmail));
    }
}

struct RefreshCase {
    const char* name;
    std::function<void(test::FakeAuthAPI&)> script;
    bool keyringWritable;
    std::optional<QString> token; // what every caller gets
    QStringList keyringCalls;
    bool signsOut;
    std::optional<QString> nextToken; // what the next call gets, refreshing once more if needed
    int refreshes;
};

// Many callers share one refresh; only a refusal signs out, and the keyring
// is written once or, after a refusal, cleared once.
TEST_F(AuthSessionTest, DueTokenIsRefreshedOnceForAllCallers)
{
    const auto delay = std::chrono::milliseconds(20);
    const auto answered
        = [delay](test::FakeAuthAPI& a) { a.succeed(Op::refresh, tokens(QStringLiteral("b"), 3600), delay); };
    const QString writeDp = QStringLiteral("write dp com.vellamor.app.auth/session");
    const QString removeDp = QStringLiteral("remove dp com.vellamor.app.auth/session");
    const QString writeFile = QStringLiteral("write file com.vellamor.app.auth/session");
    const QString removeFile = QStringLiteral("remove file com.vellamor.app.auth/session");
    const RefreshCase cases[] = {
        { "answered", answered, true, QStringLiteral("at-b"), { writeDp, removeFile }, false, QStringLiteral("at-b"),
            1 },
        // Kept in memory and used; the next save writes it again.
        { "answered, keyring failing", answered, false, QStringLiteral("at-b"), { writeDp, writeFile }, false,
            QStringLiteral("at-b"), 1 },
        { "refused", [delay](auto& a) { a.fail(Op::refresh, AuthAPIError::tokenRevoked(), delay); }, true, std::nullopt,
            { removeDp, removeFile }, true, std::nullopt, 1 },
        { "no answer",
            [delay](auto& a) {
                a.fail(Op::refresh, AuthAPIError::network(QStringLiteral("HTTP 503")), delay);
                a.succeed(Op::refresh, tokens(QStringLiteral("b"), 3600));
            },
            true, std::nullopt, {}, false, QStringLiteral("at-b"), 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        signIn(tokens(QStringLiteral("a"), 5), user(7, userAEmail));
        const auto seen = record();
        items->clearCalls();
        if (!c.keyringWritable) {
            items->setWriteStatus(Variant::dataProtection, KeychainStatus::authFailed);
            items->setWriteStatus(Variant::file, KeychainStatus::notAvailable);
        }
        c.script(*api);

        auto first = session->currentAccessToken();
        auto second = session->currentAccessToken();
        auto third = session->currentAccessToken();
        EXPECT_EQ(runBlocking(std::move(first)), c.token);
        EXPECT_EQ(runBlocking(std::move(second)), c.token);
        EXPECT_EQ(runBlocking(std::move(third)), c.token);
        EXPECT_EQ(api->calls().filter(QStringLiteral("refresh")), QStringList { QStringLiteral("refresh rt-a") });
        EXPECT_EQ(items->calls(), c.keyringCalls);
        EXPECT_EQ(observer().state(),
                  c.signsOut ? AuthState::unauthenticated() : AuthState::authenticated(user(7, userAEmail)));
        EXPECT_EQ(seen->states.size(), c.signsOut ? 2 : 1);
        EXPECT_FALSE(observer().lastBootstrapError().has_value());

        EXPECT_EQ(runBlocking(session->currentAccessToken()), c.nextToken);
        EXPECT_EQ(api->callCount(Op::refresh), c.refreshes);
    }
}

struct ChangeCase {
    const char* name;
    bool replyOnItsWay; // the refresh ignores the stop request and answers late
    std::optional<AuthAPIError> refreshError;
    std::function<QCoro::Task<void>(AuthSession&)> change;
    bool signedInAsB; // else signed out
    std::optional<AuthAPIError> published;
};

// A refresh result is used only while the session holds the pair it started
// from: whatever it brings later never undoes a sign-out nor touches the next user.
TEST_F(AuthSessionTest, RefreshOfAPairTheSessionNoLongerHoldsChangesNothing)
{
    const auto logout = [](AuthSession& s) { return s.logout(); };
    const auto signInB
        = [](AuthSession& s) { return s.loginWithPassword(QStringLiteral("b@x.io"), QStringLiteral("pw")); };
    const ChangeCase cases[] = {
        { "logout", false, std::nullopt, logout, false, std::nullopt },
        { "unauthorized reply", false, std::nullopt,
            [](AuthSession& s) { return s.handleUnauthorized(AuthAPIError::tokenExpired(), QStringLiteral("at-a")); },
            false, AuthAPIError::tokenExpired() },
        { "logout before a late success", true, std::nullopt, logout, false, std::nullopt },
        { "sign-in of another user", false, std::nullopt, signInB, true, std::nullopt },
        { "sign-in before a late success", true, std::nullopt, signInB, true, std::nullopt },
        { "sign-in before a late refusal", true, AuthAPIError::tokenRevoked(), signInB, true, std::nullopt },
        { "sign-in before a late failure without answer", true, AuthAPIError::network(QStringLiteral("HTTP 502")),
            signInB, true, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        signIn(tokens(QStringLiteral("a"), 5), user(7, userAEmail));
        if (c.replyOnItsWay)
            api->holdRefresh();
        // One the session fails to stop outlasts the hang ceiling.
        const auto delay = c.replyOnItsWay ? std::chrono::milliseconds(0) : std::chrono::milliseconds(60000);
        if (c.refreshError)
            api->fail(Op::refresh, *c.refreshError, delay);
        else
            api->succeed(Op::refresh, tokens(QStringLiteral("a2"), 3600), delay);
        api->succeed(Op::logout)
            .succeed(Op::login, AuthAPIProtocol::SignIn { tokens(QStringLiteral("b"), 3600), user(8, userBEmail) });
        const auto seen = record();

        auto pending = session->currentAccessToken();
        ASSERT_TRUE(test::waitUntil([&] { return api->callCount(Op::refresh) == 1; }));
        auto changing = c.change(*session);
        test::afterQueuedCalls();
        api->releaseRefresh(); // arrives while the change runs
        runBlocking(std::move(changing));

        const std::optional<QString> token = c.signedInAsB ? std::optional(QStringLiteral("at-b")) : std::nullopt;
        EXPECT_EQ(runBlocking(std::move(pending)), token);
        EXPECT_EQ(api->cancelledRefreshes(), c.replyOnItsWay ? 0 : 1);
        const AuthState state =
            c.signedInAsB ? AuthState::authenticated(user(8, userBEmail)) : AuthState::unauthenticated();
        EXPECT_EQ(observer().state(), state);
        EXPECT_EQ(session->currentState(), state);
        EXPECT_EQ(observer().lastBootstrapError(), c.published);
        EXPECT_EQ(seen->states.size(), 2); // the current value, then the change alone
        if (c.signedInAsB)
            EXPECT_EQ(keyring(), holding(tokens(QStringLiteral("b"), 3600), user(8, userBEmail)));
        else
            EXPECT_FALSE(keyring().has_value());
        EXPECT_EQ(runBlocking(session->currentAccessToken()), token);
        EXPECT_EQ(api->callCount(Op::refresh), 1);
    }
}

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

TEST_F(AuthSessionTest, EverySignInRoadStoresTheSessionAndPassesRefusalsThrough)
{
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        startOver();
        const AuthTokens signedTokens = tokens(QStringLiteral("a"), 3600);
        const AuthMe signedMe = user(7, userAEmail);
        if (road.op == Op::verifyUnifiedCode)
            api->succeed(road.op, VerifyCodeResponse{signedTokens, signedMe, false});
        else
            api->succeed(road.op, AuthAPIProtocol::SignIn{signedTokens, signedMe});

        runBlocking(road.signIn(*session));

        EXPECT_EQ(api->calls().size(), 1);
        EXPECT_EQ(observer().state(), AuthState::authenticated(signedMe));
        EXPECT_EQ(keyring(), holding(signedTokens, signedMe));

        // A refused sign-in changes nothing.
        const auto seen = record();
        items->clearCalls();
        api->fail(road.op, AuthAPIError::credentialsInvalid());
        EXPECT_EQ(errorOf<AuthAPIError>(road.signIn(*session)), AuthAPIError::credentialsInvalid());
        EXPECT_EQ(seen->states.size(), 1);
        EXPECT_EQ(observer().state(), AuthState::authenticated(signedMe));
        EXPECT_TRUE(items->calls().isEmpty());
    }
}

// The failed write destroys nothing: the earlier session stays stored.
TEST_F(AuthSessionTest, KeyringSaveFailureRollsBackToSignedOutEvenFromAnotherUser)
{
    signIn(tokens(QStringLiteral("a"), 3600), user(7, userAEmail));
    items->setWriteStatus(Variant::dataProtection, -25293);
    items->setWriteStatus(Variant::file, KeychainStatus::notAvailable);
    api->succeed(
        Op::verifyUnifiedCode, VerifyCodeResponse { tokens(QStringLiteral("b"), 3600), user(8, userBEmail), true });

    EXPECT_EQ(errorOf<AuthAPIError>(session->loginWithUnifiedCode(userBEmail, QStringLiteral("1"))),
              AuthAPIError::keychainWriteFailed(-25293));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::keychainWriteFailed(-25293));
    EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
    EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);
    EXPECT_EQ(keyring(), holding(tokens(QStringLiteral("a"), 3600), user(7, userAEmail)));
    // The new account is not flagged either.
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
}

TEST_F(AuthSessionTest, UnifiedSignInFlagsOnlyNewAccounts)
{
    const QString key = AuthSession::justRegisteredKey();
    api->succeed(
        Op::verifyUnifiedCode, VerifyCodeResponse { tokens(QStringLiteral("a"), 3600), user(7, userAEmail), false });
    EXPECT_FALSE(runBlocking(session->loginWithUnifiedCode(userAEmail, QStringLiteral("1"))));
    EXPECT_FALSE(defaults->contains(key));

    api->succeed(
        Op::verifyUnifiedCode, VerifyCodeResponse { tokens(QStringLiteral("b"), 3600), user(8, userBEmail), true });
    EXPECT_TRUE(runBlocking(session->loginWithUnifiedCode(userBEmail, QStringLiteral("1"))));
    EXPECT_TRUE(defaults->boolValue(key));

    // Only the reader of the flag clears it.
    api->succeed(
        Op::verifyUnifiedCode, VerifyCodeResponse { tokens(QStringLiteral("c"), 3600), user(7, userAEmail), false });
    EXPECT_FALSE(runBlocking(session->loginWithUnifiedCode(userAEmail, QStringLiteral("1"))));
    EXPECT_TRUE(defaults->boolValue(key));
}

struct SignOutCase {
    const char* name;
    bool signedIn;
    std::function<QCoro::Task<void>(AuthSession&)> signOut;
    std::optional<AuthAPIError> logoutError;
    qint32 removeStatus;
    QStringList calls;
    std::optional<AuthAPIError> published;
};

// Signing out always clears the keyring and publishes, whatever the server says.
TEST_F(AuthSessionTest, SigningOutClearsTheSessionUntilTheNextSignIn)
{
    const auto logout = [](AuthSession& s) { return s.logout(); };
    const QStringList revoked { QStringLiteral("logout rt-a") };
    const SignOutCase cases[] = {
        { "logout", true, logout, std::nullopt, 0, revoked, std::nullopt },
        { "logout with the server unreachable", true, logout, AuthAPIError::network(QStringLiteral("HTTP 502")), 0,
            revoked, std::nullopt },
        { "logout with a failed keyring cleanup", true, logout, std::nullopt, -25293, revoked,
            AuthAPIError::keychainCleanupFailed(-25293) },
        { "logout while signed out", false, logout, std::nullopt, 0, {}, std::nullopt },
        { "unauthorized reply", true,
            [](AuthSession& s) { return s.handleUnauthorized(AuthAPIError::tokenExpired(), QStringLiteral("at-a")); },
            std::nullopt, 0, {}, AuthAPIError::tokenExpired() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.signedIn)
            signIn(tokens(QStringLiteral("a"), 3600), user(7, userAEmail));
        if (c.logoutError)
            api->fail(Op::logout, *c.logoutError);
        else
            api->succeed(Op::logout);
        items->setRemoveStatus(Variant::dataProtection, c.removeStatus);
        items->clearCalls();
        const auto seen = record();

        runBlocking(c.signOut(*session));

        EXPECT_EQ(api->calls().filter(QStringLiteral("logout")), c.calls);
        EXPECT_EQ(items->calls(),
            (QStringList { QStringLiteral("remove dp com.vellamor.app.auth/session"),
                QStringLiteral("remove file com.vellamor.app.auth/session") }));
        EXPECT_EQ(seen->states.mid(1), QList<AuthState>{AuthState::unauthenticated()}); // published once
        EXPECT_EQ(observer().lastBootstrapError(), c.published);
        EXPECT_EQ(keyring().has_value(), c.removeStatus != 0);
        EXPECT_EQ(runBlocking(session->currentAccessToken()), std::nullopt);

        items->setRemoveStatus(Variant::dataProtection, 0);
        signIn(tokens(QStringLiteral("b"), 3600), user(7, userAEmail));
        EXPECT_FALSE(observer().lastBootstrapError().has_value());
    }
}

struct ReplacedTokenCase {
    const char* name;
    double secondsLeft; // of the first token; below 30 the next token asked for is a refreshed one
    std::function<QCoro::Task<void>(AuthSession&)> replace;
    bool reportWhileStoring; // else once the replacement is stored
    QString current;
};

// A request sent with the previous token that comes back refused must not
// sign out the session that replaced the token meanwhile, also when the
// refusal arrives while the new tokens are still being stored.
TEST_F(AuthSessionTest, RefusalOfAReplacedTokenLeavesTheSessionAlone)
{
    const auto signInB
        = [](AuthSession& s) { return s.loginWithPassword(QStringLiteral("b@x.io"), QStringLiteral("pw")); };
    const auto refresh = [](AuthSession& s) -> QCoro::Task<void> { co_await s.currentAccessToken(); };
    const ReplacedTokenCase cases[] = {
        { "sign-in of another user", 3600, signInB, false, QStringLiteral("at-b") },
        { "sign-in still being stored", 3600, signInB, true, QStringLiteral("at-b") },
        { "refresh", 5, refresh, false, QStringLiteral("at-a2") },
        { "refresh still being stored", 5, refresh, true, QStringLiteral("at-a2") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        signIn(tokens(QStringLiteral("a"), c.secondsLeft), user(7, userAEmail));
        api->succeed(Op::refresh, tokens(QStringLiteral("a2"), 3600))
            .succeed(Op::login, AuthAPIProtocol::SignIn { tokens(QStringLiteral("b"), 3600), user(8, userBEmail) });
        items->clearCalls();
        const auto report
            = [this] { return session->handleUnauthorized(AuthAPIError::tokenInvalid(), QStringLiteral("at-a")); };

        if (c.reportWhileStoring) {
            items->setLatency(std::chrono::milliseconds(20));
            auto replacing = c.replace(*session);
            ASSERT_TRUE(test::waitUntil([&] { return !items->calls().filter(QStringLiteral("write dp")).isEmpty(); }));
            auto reporting = report();
            runBlocking(std::move(replacing));
            runBlocking(std::move(reporting));
        } else {
            runBlocking(c.replace(*session));
            runBlocking(report());
        }

        EXPECT_NE(observer().state(), AuthState::unauthenticated());
        EXPECT_FALSE(observer().lastBootstrapError().has_value());
        ASSERT_TRUE(keyring().has_value());
        EXPECT_EQ(keyring()->first.accessToken, c.current);
        EXPECT_EQ(runBlocking(session->currentAccessToken()), c.current);
    }
}

TEST_F(AuthSessionTest, HandleUnauthorizedWhileSignedOutKeepsARestoreErrorOnShow)
{
    storeInKeyring(tokens(QStringLiteral("a"), 3600), user(7, userAEmail));
    api->fail(Op::me, AuthAPIError::tokenRevoked());
    runBlocking(session->bootstrap());
    const auto seen = record();

    runBlocking(session->handleUnauthorized(AuthAPIError::tokenInvalid(), QStringLiteral("at-a")));
    EXPECT_EQ(seen->states.size(), 1); // nothing delivered
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenRevoked());

    runBlocking(session->clearBootstrapError());
    runBlocking(session->handleUnauthorized(AuthAPIError::tokenInvalid(), QStringLiteral("at-a")));
    EXPECT_EQ(seen->states.size(), 2);
    EXPECT_EQ(observer().lastBootstrapError(), AuthAPIError::tokenInvalid());
}

TEST_F(AuthSessionTest, SignOutDuringAKeyringSaveCannotBeUndoneByTheSave)
{
    items->setLatency(std::chrono::milliseconds(20));
    api->succeed(Op::login, AuthAPIProtocol::SignIn { tokens(QStringLiteral("a"), 3600), user(7, userAEmail) });
    api->succeed(Op::logout);

    auto signingIn = session->loginWithPassword(userAEmail, QStringLiteral("pw"));
    ASSERT_TRUE(test::waitUntil(
        [&] { return items->calls().contains(QStringLiteral("write dp com.vellamor.app.auth/session")); }));
    auto signingOut = session->logout();
    runBlocking(std::move(signingIn));
    runBlocking(std::move(signingOut));

    EXPECT_EQ(api->calls().last(), QStringLiteral("logout rt-a"));
    EXPECT_EQ(observer().state(), AuthState::unauthenticated());
    EXPECT_EQ(session->currentState(), AuthState::unauthenticated());
    EXPECT_EQ(items->itemCount(), 0);
}

// The state is published before the error: a state subscriber still sees the
// error from before, a queued one sees both new values.
TEST_F(AuthSessionTest, SubscribersGetTheStateBeforeTheError)
{
    std::optional<AuthAPIError> errorSeenAtOnce;
    std::optional<AuthAPIError> errorSeenQueued;
    int queuedDeliveries = 0;
    const auto atOnce = session->publisher()->subscribeState(
        [&](const AuthState&) { errorSeenAtOnce = observer().lastBootstrapError(); });
    const auto queued =
        session->publisher()->subscribeStateQueued(QCoreApplication::instance(), [&](const AuthState&) {
            ++queuedDeliveries;
            errorSeenQueued = observer().lastBootstrapError();
        });
    errorSeenAtOnce = AuthAPIError::unauthorized(); // overwritten only by a delivery

    runBlocking(session->handleUnauthorized(AuthAPIError::tokenRevoked(), QStringLiteral("at-a")));
    EXPECT_FALSE(errorSeenAtOnce.has_value());
    ASSERT_TRUE(test::waitUntil([&] { return queuedDeliveries == 2; }));
    EXPECT_EQ(errorSeenQueued, AuthAPIError::tokenRevoked());
}

// The lock of the session's keyring sections.
QCoro::Task<void> holdFor(std::shared_ptr<AsyncMutex> mutex, std::shared_ptr<QStringList> log, QString name,
                          std::chrono::milliseconds hold)
{
    auto guard = co_await mutex->lock();
    log->append(name + QStringLiteral(" in"));
    co_await sleepFor(hold);
    log->append(name + QStringLiteral(" out"));
}

TEST(AsyncMutexTest, HoldersNeverOverlapAndWaitersComeInArrivalOrder)
{
    auto mutex = std::make_shared<AsyncMutex>();
    auto log = std::make_shared<QStringList>();
    // The first holder sleeps longest, so a lock that let later callers in
    // early would interleave them.
    auto a = holdFor(mutex, log, QStringLiteral("a"), std::chrono::milliseconds(30));
    auto b = holdFor(mutex, log, QStringLiteral("b"), std::chrono::milliseconds(1));
    auto c = holdFor(mutex, log, QStringLiteral("c"), std::chrono::milliseconds(10));
    EXPECT_TRUE(test::waitUntil([&] { return log->size() == 6; }));
    EXPECT_EQ(*log, (QStringList{QStringLiteral("a in"), QStringLiteral("a out"), QStringLiteral("b in"),
                                 QStringLiteral("b out"), QStringLiteral("c in"), QStringLiteral("c out")}));
    EXPECT_FALSE(mutex->isLocked());
}

} // namespace
