#pragma once

#include "ApiAction.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor::devbackend {

class DevServer;

// The account actions with in-memory users and tokens:
// - "auth.register" {email, password} mails a registration code;
//   "auth.verify" {email, code} creates the account and signs in.
// - "auth.login" {email, password}.
// - "auth.requestLoginCode" {email} (existing accounts) and
//   "auth.loginWithCode" {email, code}.
// - "auth.requestCode" {email} → {purpose: "register" | "login",
//   expires_in_seconds: 600}; "auth.verifyCode" {email, code} creates the
//   account when needed → the pair, "user" and "is_new".
// - "auth.refresh" {refresh_token} rotates: the old refresh token stops
//   working, a new pair (with "user") is issued.
// - "user.me" {} with "Authorization: Bearer <access token>" → {user}.
// - "auth.logout" {refresh_token} revokes it and the access tokens issued
//   with it → {"ok": true}.
// Accounts and sessions are the state part "accounts" (DevServer::StatePart):
// users, live refresh tokens and access tokens not revoked, and the next
// account id, so a restarted server never gives an address another's id.
// The access tokens also tell the server which account a call is for
// (DevServer::accountOf).
// "Mailed" codes (6 digits, valid 10 minutes, single use) are printed on
// standard output and kept for tests (lastCode). Sign-in pairs carry
// "access_token", "refresh_token", "access_expire" (now + the access
// lifetime) and "user" {id, email, locale, created_at, last_login_at (the
// previous sign-in, absent on the first)}.
//
// Refusals: malformed payload, bad e-mail ("invalid email format"), password
// length ("password must be 8-128 characters"), wrong password ("incorrect
// email or password"): 40001; e-mail taken 40901; unknown account 40402;
// wrong code 40403; expired or no code 40404; banned account 40300
// "account banned: <reason>"; user.me without a token 40100, with an
// expired one 40101, a revoked one 40102, an unknown one 40103, all with
// HTTP 401; an unusable refresh token 40103 "invalid refresh token" (HTTP 401).
//
// Switches for tests, in-process or through the action "dev.auth.configure"
// {access_lifetime_s, refresh_delay_ms, fail: {action, code, msg,
// http_status, times}, clear_failures: true, ban: {email, reason},
// expire_codes: true}; the
// action "dev.auth.lastCode" {email} answers {code} (null when none).
class AccountActions {
public:
    // An answer put in place of the next call(s) of an action. Code 0 runs
    // the action normally and only changes the HTTP status (e.g. 401 with a
    // code-0 body).
    struct Failure {
        QString action; // empty: every account action
        qint64 code = 0;
        QString msg = QStringLiteral("injected failure");
        int httpStatus = 200;
        int times = 1; // -1: until cleared
    };

    static const QStringList actionNames;

    // Registers the account and control actions on `server`, replacing
    // earlier ones; the state lives as long as the handle or the handlers.
    static std::shared_ptr<AccountActions> install(DevServer& server);

    void setAccessLifetime(std::chrono::seconds lifetime) { accessLifetime_ = lifetime; }
    std::chrono::seconds accessLifetime() const { return accessLifetime_; }
    void setRefreshDelay(std::chrono::milliseconds delay) { refreshDelay_ = delay; }
    void fail(Failure failure) { failures_.append(std::move(failure)); }
    void clearFailures() { failures_.clear(); }
    void ban(const QString& email, const QString& reason) { bans_.insert(email, reason); }

    // An account with a password, as if registered; returns its id.
    qint64 addUser(const QString& email, const QString& password);
    std::optional<QString> lastCode(const QString& email) const;
    // Lets every access token issued so far run out now.
    void expireAccessTokens();
    // Lets every code mailed so far run out now.
    void expireCodes();

    // Calls answered per action (injected failures included).
    int callCount(const QString& action) const { return calls_.value(action); }
    // Refresh tokens that still work.
    QStringList liveRefreshTokens() const;

    ApiReply handle(const ApiCall& call);

    // The user an access token was issued to, expired or revoked alike.
    std::optional<qint64> userOf(const QString& accessToken) const;
    QJsonObject saveState() const;
    bool restoreState(const QJsonObject& saved);

private:
    struct User {
        qint64 id = 0;
        QString email;
        QString password;
        QString locale = QStringLiteral("zh-CN");
        QDateTime createdAt;
        std::optional<QDateTime> lastLoginAt;
    };
    struct PendingCode {
        QString code;
        QString purpose; // "register" or "login"
        QString password;
        QDateTime expiresAt;
    };
    struct AccessToken {
        qint64 userId = 0;
        QString refreshToken;
        QDateTime expiresAt;
        bool revoked = false;
    };
    struct RefreshToken {
        qint64 userId = 0;
        bool live = true;
    };

    std::optional<Failure> takeFailure(const QString& action);
    ApiReply dispatch(const ApiCall& call);
    ApiReply configure(const ApiCall& call);

    ApiReply requestRegistration(const QString& email, const QString& password);
    ApiReply verifyRegistration(const QString& email, const QString& code);
    ApiReply login(const QString& email, const QString& password);
    ApiReply requestLoginCode(const QString& email);
    ApiReply loginWithCode(const QString& email, const QString& code);
    ApiReply requestUnifiedCode(const QString& email);
    ApiReply verifyUnifiedCode(const QString& email, const QString& code);
    ApiReply refresh(const QString& refreshToken);
    ApiReply me(const ApiCall& call);
    ApiReply logout(const QString& refreshToken);

    // The code check shared by the verifying actions; none when it passes.
    std::optional<ApiReply> checkCode(const QString& email, const QString& code, const QString& purpose,
                                      PendingCode* passed);
    QString mailCode(const QString& email, const QString& purpose, const QString& password = {});
    User& createUser(const QString& email, const QString& password);
    // The "user" object of sign-in pairs and user.me.
    static QJsonObject userJson(const User& user);
    // A new pair for the user, recorded as a sign-in unless it is a refresh.
    QJsonObject issuePair(User& user, bool signIn);
    std::optional<ApiReply> refuseBanned(const QString& email) const;
    void noteStateChanged() const;

    std::chrono::seconds accessLifetime_{3600};
    std::chrono::milliseconds refreshDelay_{0};
    QList<Failure> failures_;
    QHash<QString, QString> bans_;
    QHash<QString, User> users_; // by e-mail
    QHash<QString, PendingCode> codes_; // by e-mail
    QHash<QString, QString> lastCodes_;
    QHash<QString, AccessToken> accessTokens_;
    QHash<QString, RefreshToken> refreshTokens_;
    QHash<QString, int> calls_;
    qint64 nextUserId_ = firstUserId;
    QPointer<DevServer> server_;

    static constexpr qint64 firstUserId = 1001;
};

} // namespace vellamor::devbackend
