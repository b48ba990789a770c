#pragma once

#include "Auth/AsyncMutex.h"
#include "Auth/AuthSessionObserver.h"
#include "Auth/AuthState.h"
#include "Auth/KeychainStore.h"
#include "Logging/VellamorLog.h"
#include "Models/AuthAPIError.h"
#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/AuthAPIProtocol.h"
#include "Networking/UnauthorizedHandler.h"
#include "Support/Async/SharedTask.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "Support/Date.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

class UserDefaults;
struct AppConfig;

// The one owner of the process's signed-in state: it restores the session
// from the keyring at start and checks it with the server, signs in by the
// four roads, hands every backend client a fresh access token (refreshing it
// when it is within 30 s of expiry, one refresh shared by all callers), and
// signs out on request or when a client reports an unauthorised reply. Every
// change is broadcast through publisher() (state first, then the error).
//
// Rules beyond the plain steps, all for the interleaving at each await:
// - Keyring sections (a sign-in's save, a sign-out's delete, storing a
//   refreshed pair, the restore's read and clean-up) run one at a time, as
//   one step each, so a sign-out can never be undone by a save that was
//   still in flight.
// - A refresh result is used only while the session still holds the pair
//   the refresh started from; when the session has changed meanwhile the
//   result is dropped, nothing is cleared, and the current access token is
//   returned (unauthorized when signed out). A sign-in cancels a running
//   refresh of the pair it replaces.
// - A failure without an answer from the server (AuthAPIError::network, or
//   any error that is not an AuthAPIError) is no refusal: a failed refresh
//   then leaves the session as it is, and a failed restore keeps the stored
//   session, signed in as the stored user but unconfirmed, and tries again
//   after 1, 2, 4 … 60 s and whenever an access token is asked for. Only a
//   refusal by the server signs out.
//
// Lives on the main thread and must be owned by a std::shared_ptr (each
// operation keeps the session alive until it ends).
class AuthSession : public UnauthorizedHandler, public std::enable_shared_from_this<AuthSession> {
public:
    using Clock = std::function<Date()>;

    // A token is refreshed when now + this margin is not before its expiry.
    static constexpr double refreshMarginSeconds = 30.0;
    // The user-defaults key set after a unified sign-in created the account.
    static QString justRegisteredKey() { return QStringLiteral("auth.just_registered"); }

    // `defaults` none means UserDefaults::standard().
    AuthSession(std::shared_ptr<AuthAPIProtocol> api, std::shared_ptr<KeychainStore> keychain,
                VellamorLog log = defaultLog(), Clock clock = &Date::now,
                std::shared_ptr<UserDefaults> defaults = nullptr, SleepFunction sleep = &sleepFor);
    ~AuthSession() override;

    AuthSession(const AuthSession&) = delete;
    AuthSession& operator=(const AuthSession&) = delete;

    // The application's session: the API at `config`'s base URL over
    // AuthedSession::shared(), the tokens in `keyring` under
    // KeychainStore::defaultService() and account "session".
    static std::shared_ptr<AuthSession> forApplication(const AppConfig& config,
                                                       std::shared_ptr<SecureItemStore> keyring);
    // currentAccessToken() of this session while it exists, none after.
    AccessTokenProvider accessTokens();
    // Subsystem "com.vellamor.app", category "auth-session".
    static VellamorLog defaultLog();

    // Readable without awaiting anything; the same object for the session's life.
    const std::shared_ptr<AuthSessionObserver>& publisher() const { return observer_; }

    // authenticated(me) when the user is known, else unauthenticated.
    virtual AuthState currentState() const;

    // Restores the session from the keyring; never throws.
    virtual QCoro::Task<void> bootstrap();
    // Restored from the keyring while the server could not be reached, and
    // not checked with it since.
    bool isUnconfirmed() const { return unconfirmed_; }
    virtual QCoro::Task<void> clearBootstrapError();
    // Sign-in with a registration code, a password, a sign-in code; each
    // throws the client's AuthAPIError, or keychainWriteFailed(status) when
    // the session could not be stored (the session is then signed out).
    virtual QCoro::Task<void> login(QString email, QString code);
    virtual QCoro::Task<void> loginWithPassword(QString email, QString password);
    virtual QCoro::Task<void> loginWithEmailCode(QString email, QString code);
    // Returns whether the account is new; a new account also sets
    // justRegisteredKey() to true (never cleared here).
    virtual QCoro::Task<bool> loginWithUnifiedCode(QString email, QString code);
    // Revokes on the server (best effort) and clears everything; never throws.
    virtual QCoro::Task<void> logout();
    // Also the UnauthorizedHandler of the other backend clients. A refusal of
    // an access token the session no longer holds (replaced by a sign-in or a
    // refresh while the request was out) is ignored.
    QCoro::Task<void> handleUnauthorized(AuthAPIError reason, QString refusedAccessToken) override;
    // A fresh access token, or none (with a warn line) when signed out or
    // when no token could be had.
    virtual QCoro::Task<std::optional<QString>> currentAccessToken();

private:
    struct Refresh {
        SharedTask<AuthTokens> task;
        QString fromRefreshToken;
    };

    QCoro::Task<QString> ensureFreshAccessToken();
    // Checks the held tokens with the server once; see the rules above.
    QCoro::Task<void> confirmRestoredSession();
    void scheduleRestoreRetry();
    // Now rather than after the back-off's wait.
    void retryRestoreNow();
    void stopRestoreRetry();
    // The sign-in roads but the unified one: the client's answer, then persist.
    QCoro::Task<void> signIn(QCoro::Task<AuthAPIProtocol::SignIn> reply);
    QCoro::Task<void> persist(AuthTokens tokens, AuthMe me);
    // The keyring form writes such dates clamped; the user should not lose
    // the session over them, but the log should tell.
    void warnOfClampedDates(const AuthTokens& tokens, const std::optional<AuthMe>& me) const;
    void broadcast(AuthState state, std::optional<AuthAPIError> error);
    // tokens and me none; a running refresh cancelled and forgotten.
    void clearSession();
    void cancelRefresh();
    // A copy: QCoro's promise moves from an lvalue given to co_return, which
    // would empty the held token.
    QString heldAccessToken() const { return tokens_->accessToken; }
    static qint32 persistFailureStatus(const std::exception_ptr& error);

    std::shared_ptr<AuthAPIProtocol> api_;
    std::shared_ptr<KeychainStore> keychain_;
    VellamorLog log_;
    std::shared_ptr<AuthSessionObserver> observer_;
    std::optional<AuthTokens> tokens_;
    std::optional<AuthMe> me_;
    std::optional<Refresh> refresh_;
    Clock clock_;
    std::shared_ptr<UserDefaults> defaults_;
    SleepFunction sleep_;
    AsyncMutex keyringSection_;
    bool unconfirmed_ = false;
    bool confirming_ = false;
    int restoreRetries_ = 0;
    TaskHandle restoreRetry_;
};

} // namespace vellamor
