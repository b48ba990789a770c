#pragma once

#include "Models/AuthAPIError.h"
#include "Networking/AuthAPIProtocol.h"
#include "Networking/HTTPRequest.h"
#include "Networking/HTTPSession.h"

#include <QByteArray>
#include <QJsonObject>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor {

// The client of the backend's account actions. Every call is one POST of
// {"action", "data"} to base URL + "v1/api.json" with a 12 s time-out; keys
// are spelt per field (no key conversion) and reply dates are read by
// decodeFlexibleDate. It keeps no state between calls and logs nothing.
//
// Action names: requestCode "auth.register", verifyCode "auth.verify", login
// "auth.login", requestLoginCode "auth.requestLoginCode", loginWithCode
// "auth.loginWithCode", requestUnifiedCode "auth.requestCode",
// verifyUnifiedCode "auth.verifyCode", refresh "auth.refresh", me "user.me"
// (payload {}, the only call with "Authorization: Bearer"; an empty token
// sends no header), logout "auth.logout". Refresh and logout carry the
// refresh token as "refresh_token" in the payload.
//
// Failures, all AuthAPIError, in the order they are checked:
// - the payload cannot be encoded: network("请求编码失败"), nothing sent;
// - the session throws (no connection, time-out, cancellation, ...):
//   network(that error's user-facing text);
// - no HTTP response: network("无效响应");
// - status 500 or more: network("HTTP <status>"), the body unread;
// - any other status: the body must be an envelope whose "data" (when
//   present) has the reply's shape, else network("响应解析失败");
// - "code" not 0: mapServerError(code, msg);
// - "data" absent or null: network("空响应").
// Replies that carry nothing (requestCode, requestLoginCode, logout) need a
// "data" object ({} will do); "ok" is not looked at. A sign-in reply whose
// pair has no "user" fails with network("响应解析失败").
//
// Main thread only. Calls may outlive the client object.
class AuthAPI final : public AuthAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{12};

    AuthAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session);

    const QUrl& baseURL() const { return baseURL_; }

    QCoro::Task<void> requestCode(QString email, QString password) override;
    QCoro::Task<SignIn> verifyCode(QString email, QString code) override;
    QCoro::Task<SignIn> login(QString email, QString password) override;
    QCoro::Task<void> requestLoginCode(QString email) override;
    QCoro::Task<SignIn> loginWithCode(QString email, QString code) override;
    QCoro::Task<RequestCodeResponse> requestUnifiedCode(QString email) override;
    QCoro::Task<VerifyCodeResponse> verifyUnifiedCode(QString email, QString code) override;
    QCoro::Task<AuthTokens> refresh(QString refreshToken, std::stop_token token = {}) override;
    QCoro::Task<AuthMe> me(QString accessToken) override;
    QCoro::Task<void> logout(QString refreshToken) override;

    // The error for a reply whose "code" is not 0:
    // 40001 by the words of the message (lower-cased: "incorrect" →
    // credentialsInvalid; else "email" and "format" → invalidEmail; else
    // "password" → invalidPassword; else server(40001, message as received));
    // 40100 unauthorized, 40101 tokenExpired, 40102 tokenRevoked, 40103
    // tokenInvalid; 40300 userBanned(the text after the last ASCII ":",
    // trimmed of spaces and tabs); 40403 invalidCode; 40404 codeExpired;
    // 40901 server(40901, "邮箱已注册"); 42901 tooManyRequests; 50023
    // mailerFailed; any other code server(code, message).
    static AuthAPIError mapServerError(qint64 code, const QString& message);

private:
    // The request of one call; throws network("请求编码失败").
    HTTPRequest makeRequest(const QString& action, const QJsonObject& payload,
                            const std::optional<QString>& accessToken = std::nullopt) const;
    // Sends and returns the body of an HTTP answer below 500.
    static QCoro::Task<QByteArray> send(std::shared_ptr<HTTPSession> session, HTTPRequest request,
                                        std::stop_token token = {});

    QUrl baseURL_;
    std::shared_ptr<HTTPSession> session_;
};

} // namespace vellamor
