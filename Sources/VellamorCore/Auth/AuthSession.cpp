#include "Auth/AuthSession.h"

#include "Auth/KeychainFailure.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthedSession.h"
#include "Settings/AppConfig.h"
#include "Settings/UserDefaults.h"

#include <algorithm>
#include <utility>

namespace vellamor {

namespace {

AuthAPIError asAuthAPIError(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AuthAPIError& e) {
        return e;
    } catch (const Error& e) {
        return AuthAPIError::network(e.errorDescription());
    } catch (const std::exception& e) {
        return AuthAPIError::network(QString::fromUtf8(e.what()));
    } catch (...) {
        return AuthAPIError::network(QStringLiteral("未知错误"));
    }
}

// A refusal is an answer of the server; anything else (no answer, an
// unusable one, a foreign error) may go away on the next try.
bool isRefusal(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AuthAPIError& e) {
        return e.kind() != AuthAPIError::Kind::network;
    } catch (...) {
        return false;
    }
}

} // namespace

AuthSession::AuthSession(std::shared_ptr<AuthAPIProtocol> api, std::shared_ptr<KeychainStore> keychain,
                         VellamorLog log, Clock clock, std::shared_ptr<UserDefaults> defaults,
                         SleepFunction sleep)
    : api_(std::move(api))
    , keychain_(std::move(keychain))
    , log_(std::move(log))
    , observer_(std::make_shared<AuthSessionObserver>())
    , clock_(std::move(clock))
    , defaults_(defaults ? std::move(defaults) : UserDefaults::standard())
    , sleep_(std::move(sleep))
{
}

AuthSession::~AuthSession()
{
    cancelRefresh();
    restoreRetry_.cancel();
}

std::shared_ptr<AuthSession> AuthSession::forApplication(const AppConfig& config,
                                                         std::shared_ptr<SecureItemStore> keyring)
{
    auto api = std::make_shared<AuthAPI>(config.apiBaseURL, AuthedSession::shared());
    auto keychain = std::make_shared<KeychainStore>(std::move(keyring), KeychainStore::defaultService(),
                                                    QStringLiteral("session"));
    return std::make_shared<AuthSession>(std::move(api), std::move(keychain));
}

AccessTokenProvider AuthSession::accessTokens()
{
    return [weak = weak_from_this()]() -> QCoro::Task<std::optional<QString>> {
        const std::shared_ptr<AuthSession> session = weak.lock();
        if (!session)
            co_return std::nullopt;
        co_return co_await session->currentAccessToken();
    };
}

VellamorLog AuthSession::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("auth-session"));
}

AuthState AuthSession::currentState() const
{
    return me_ ? AuthState::authenticated(*me_) : AuthState::unauthenticated();
}

QCoro::Task<void> AuthSession::bootstrap()
{
    const auto self = shared_from_this();
    log_.info(QStringLiteral("bootstrap: loading tokens from keychain"));
    {
        auto section = co_await keyringSection_.lock();
        if (tokens_ || me_)
            co_return; // a sign-in got there first
        const std::optional<AuthTokens> stored = co_await keychain_->loadTokens();
        if (!stored) {
            log_.info(QStringLiteral("bootstrap: no tokens found"));
            broadcast(AuthState::unauthenticated(), std::nullopt);
            co_return;
        }
        tokens_ = *stored;
    }

    co_await confirmRestoredSession();
}

QCoro::Task<void> AuthSession::confirmRestoredSession()
{
    const auto self = shared_from_this();
    confirming_ = true;
    std::exception_ptr failure;
    try {
        const QString accessToken = co_await ensureFreshAccessToken();
        const AuthMe me = co_await api_->me(accessToken);
        auto section = co_await keyringSection_.lock();
        confirming_ = false;
        // Signed out, or signed in as someone, while the server was asked.
        if (!tokens_ || (me_ && !unconfirmed_))
            co_return;
        me_ = me;
        stopRestoreRetry();
        log_.info(QStringLiteral("bootstrap: restored session"), me.email);
        broadcast(AuthState::authenticated(me), std::nullopt);
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }

    auto section = co_await keyringSection_.lock();
    confirming_ = false;
    if (me_ && !unconfirmed_)
        co_return; // a sign-in replaced the session being restored
    const AuthAPIError error = asAuthAPIError(failure);
    if (isRefusal(failure)) {
        log_.warn(QStringLiteral("bootstrap: token validation failed, clearing: ") + describeException(failure));
        clearSession();
        co_await keychain_->deleteTokens();
        broadcast(AuthState::unauthenticated(), error);
        co_return;
    }
    if (!tokens_)
        co_return; // signed out meanwhile
    log_.warn(QStringLiteral("bootstrap: no answer from the server, keeping the stored session: ")
              + describeException(failure));
    if (!unconfirmed_) {
        unconfirmed_ = true;
        if (!me_)
            me_ = co_await keychain_->loadMe();
        if (!tokens_ || !unconfirmed_)
            co_return; // signed out or in while the keyring was read
        if (me_)
            broadcast(AuthState::authenticated(*me_), std::nullopt);
        else
            broadcast(AuthState::unauthenticated(), error);
    }
    scheduleRestoreRetry();
}

void AuthSession::scheduleRestoreRetry()
{
    using namespace std::chrono_literals;
    const auto delay = std::min<std::chrono::milliseconds>(1s * (1LL << std::min(restoreRetries_, 6)), 60s);
    ++restoreRetries_;
    restoreRetry_.cancel();
    restoreRetry_ = TaskHandle::start([weak = weak_from_this(), sleep = sleep_, delay](std::stop_token token)
                                          -> QCoro::Task<void> {
        if (!co_await sleep(delay, token))
            co_return;
        if (const auto self = weak.lock(); self && !self->confirming_)
            co_await self->confirmRestoredSession();
    });
}

void AuthSession::retryRestoreNow()
{
    if (!unconfirmed_ || confirming_)
        return;
    restoreRetry_.cancel();
    restoreRetry_ = TaskHandle::start([weak = weak_from_this()](std::stop_token) -> QCoro::Task<void> {
        if (const auto self = weak.lock())
            co_await self->confirmRestoredSession();
    });
}

void AuthSession::stopRestoreRetry()
{
    unconfirmed_ = false;
    restoreRetries_ = 0;
    restoreRetry_.cancel();
}

QCoro::Task<void> AuthSession::clearBootstrapError()
{
    observer_->setLastBootstrapError(std::nullopt);
    co_return;
}

QCoro::Task<void> AuthSession::signIn(QCoro::Task<AuthAPIProtocol::SignIn> reply)
{
    const auto self = shared_from_this();
    auto [tokens, me] = co_await std::move(reply);
    co_await persist(std::move(tokens), std::move(me));
}

QCoro::Task<void> AuthSession::login(QString email, QString code)
{
    co_await signIn(api_->verifyCode(std::move(email), std::move(code)));
}

QCoro::Task<void> AuthSession::loginWithPassword(QString email, QString password)
{
    co_await signIn(api_->login(std::move(email), std::move(password)));
}

QCoro::Task<void> AuthSession::loginWithEmailCode(QString email, QString code)
{
    co_await signIn(api_->loginWithCode(std::move(email), std::move(code)));
}

QCoro::Task<bool> AuthSession::loginWithUnifiedCode(QString email, QString code)
{
    const auto self = shared_from_this();
    const VerifyCodeResponse reply = co_await api_->verifyUnifiedCode(std::move(email), std::move(code));
    co_await persist(reply.tokens, reply.me);
    if (reply.isNew)
        defaults_->setBool(justRegisteredKey(), true);
    co_return reply.isNew;
}

QCoro::Task<void> AuthSession::logout()
{
    const auto self = shared_from_this();
    if (tokens_) {
        std::exception_ptr failure;
        try {
            co_await api_->logout(tokens_->refreshToken);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure)
            log_.warn(QStringLiteral("logout: remote revoke failed: ") + describeException(failure));
    }

    auto section = co_await keyringSection_.lock();
    clearSession();
    const qint32 status = co_await keychain_->deleteTokens();
    std::optional<AuthAPIError> error;
    if (status != 0) {
        log_.warn(QStringLiteral("logout: keychain cleanup failed: status=") + QString::number(status));
        error = AuthAPIError::keychainCleanupFailed(status);
    }
    log_.info(QStringLiteral("logout: session cleared"));
    broadcast(AuthState::unauthenticated(), std::move(error));
}

QCoro::Task<void> AuthSession::handleUnauthorized(AuthAPIError reason, QString refusedAccessToken)
{
    const auto self = shared_from_this();
    auto section = co_await keyringSection_.lock();
    if (tokens_ && tokens_->accessToken != refusedAccessToken) {
        log_.info(QStringLiteral("handleUnauthorized: ignored, the refused token was already replaced"));
        co_return;
    }
    if (tokens_ || me_) {
        log_.warn(QStringLiteral("handleUnauthorized: clearing session due to ") + reason.debugDescription());
        clearSession();
        co_await keychain_->deleteTokens();
        broadcast(AuthState::unauthenticated(), std::move(reason));
        co_return;
    }
    // A restore error on show stays: it explains why nobody is signed in.
    if (observer_->lastBootstrapError())
        co_return;
    broadcast(AuthState::unauthenticated(), std::move(reason));
}

QCoro::Task<std::optional<QString>> AuthSession::currentAccessToken()
{
    const auto self = shared_from_this();
    // Someone is about to use the server: a good moment to try it again.
    retryRestoreNow();
    std::exception_ptr failure;
    try {
        co_return co_await ensureFreshAccessToken();
    } catch (...) {
        failure = std::current_exception();
    }
    log_.warn(QStringLiteral("currentAccessToken: ") + describeException(failure));
    co_return std::nullopt;
}

QCoro::Task<QString> AuthSession::ensureFreshAccessToken()
{
    if (!tokens_)
        throw AuthAPIError::unauthorized();
    const AuthTokens current = *tokens_;
    if (clock_().addingSeconds(refreshMarginSeconds) < current.expiresAt)
        co_return current.accessToken;

    if (refresh_) {
        // Joining: the caller that started the refresh stores its result.
        const SharedTask<AuthTokens> task = refresh_->task;
        std::exception_ptr failure;
        std::optional<AuthTokens> fresh;
        try {
            fresh = co_await task.value();
        } catch (...) {
            failure = std::current_exception();
        }
        if (!tokens_) {
            if (failure)
                std::rethrow_exception(failure);
            throw AuthAPIError::unauthorized();
        }
        if (tokens_->refreshToken != current.refreshToken && !(fresh && *tokens_ == *fresh))
            co_return heldAccessToken(); // the session moved on to another pair
        if (failure)
            std::rethrow_exception(failure);
        co_return fresh->accessToken;
    }

    const auto api = api_;
    const QString refreshToken = current.refreshToken;
    const auto task = SharedTask<AuthTokens>::start(
        [api, refreshToken](std::stop_token stop) { return api->refresh(refreshToken, std::move(stop)); });
    refresh_ = Refresh{task, refreshToken};

    std::exception_ptr failure;
    std::optional<AuthTokens> fresh;
    try {
        fresh = co_await task.value();
    } catch (...) {
        failure = std::current_exception();
    }

    auto section = co_await keyringSection_.lock();
    if (refresh_ && refresh_->fromRefreshToken == refreshToken)
        refresh_.reset();
    const bool holdsStartPair = tokens_ && tokens_->refreshToken == current.refreshToken;
    if (fresh) {
        if (holdsStartPair) {
            tokens_ = *fresh;
            warnOfClampedDates(*fresh, me_);
            try {
                co_await keychain_->saveTokens(*fresh, me_);
            } catch (...) {
                // Kept in memory and used; the next save writes it again.
            }
            co_return fresh->accessToken;
        }
        if (tokens_)
            co_return heldAccessToken();
        failure = std::make_exception_ptr(AuthAPIError::unauthorized());
    }

    if (!tokens_)
        std::rethrow_exception(failure); // signed out meanwhile: nothing left to clear
    if (!holdsStartPair)
        co_return heldAccessToken();
    if (!isRefusal(failure))
        std::rethrow_exception(failure);
    clearSession();
    co_await keychain_->deleteTokens();
    broadcast(AuthState::unauthenticated(), std::nullopt);
    std::rethrow_exception(failure);
}

QCoro::Task<void> AuthSession::persist(AuthTokens tokens, AuthMe me)
{
    auto section = co_await keyringSection_.lock();
    cancelRefresh();
    stopRestoreRetry();
    tokens_ = tokens;
    me_ = me;
    warnOfClampedDates(tokens, me);
    std::exception_ptr failure;
    try {
        co_await keychain_->saveTokens(tokens, me);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        clearSession();
        const qint32 status = persistFailureStatus(failure);
        log_.warn(QStringLiteral("keychain save failed, rolling back: status=") + QString::number(status));
        const AuthAPIError error = AuthAPIError::keychainWriteFailed(status);
        broadcast(AuthState::unauthenticated(), error);
        throw error;
    }
    log_.info(QStringLiteral("login success"), me.email);
    broadcast(AuthState::authenticated(me), std::nullopt);
}

void AuthSession::warnOfClampedDates(const AuthTokens& tokens, const std::optional<AuthMe>& me) const
{
    bool clamped = !tokens.expiresAt.isFormattable();
    if (me)
        clamped = clamped || !me->createdAt.isFormattable() || (me->lastLoginAt && !me->lastLoginAt->isFormattable());
    if (clamped)
        log_.warn(QStringLiteral("keychain save: a date outside the years 0001-9999 is stored clamped"));
}

void AuthSession::broadcast(AuthState state, std::optional<AuthAPIError> error)
{
    observer_->setState(std::move(state));
    observer_->setLastBootstrapError(std::move(error));
}

void AuthSession::clearSession()
{
    tokens_.reset();
    me_.reset();
    cancelRefresh();
    stopRestoreRetry();
}

void AuthSession::cancelRefresh()
{
    if (refresh_) {
        refresh_->task.cancel();
        refresh_.reset();
    }
}

qint32 AuthSession::persistFailureStatus(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const KeychainFailure& failure) {
        return failure.status();
    } catch (...) {
        return -4;
    }
}

} // namespace vellamor
