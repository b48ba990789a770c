#pragma once

#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"
#include "Models/RequestCodeResponse.h"
#include "Models/VerifyCodeResponse.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <stop_token>
#include <utility>

namespace vellamor {

// The account actions the authentication session needs of its client. Each
// operation throws only AuthAPIError. Main thread only.
class AuthAPIProtocol {
public:
    using SignIn = std::pair<AuthTokens, AuthMe>;

    virtual ~AuthAPIProtocol() = default;

    // Has a registration code mailed.
    virtual QCoro::Task<void> requestCode(QString email, QString password) = 0;
    virtual QCoro::Task<SignIn> verifyCode(QString email, QString code) = 0;
    virtual QCoro::Task<SignIn> login(QString email, QString password) = 0;
    // Has a sign-in code mailed.
    virtual QCoro::Task<void> requestLoginCode(QString email) = 0;
    virtual QCoro::Task<SignIn> loginWithCode(QString email, QString code) = 0;
    virtual QCoro::Task<RequestCodeResponse> requestUnifiedCode(QString email) = 0;
    virtual QCoro::Task<VerifyCodeResponse> verifyUnifiedCode(QString email, QString code) = 0;
    // A stop request on `token` abandons the request (the session cancels a
    // refresh when it signs out).
    virtual QCoro::Task<AuthTokens> refresh(QString refreshToken, std::stop_token token = {}) = 0;
    virtual QCoro::Task<AuthMe> me(QString accessToken) = 0;
    // Signs the refresh token out on the server.
    virtual QCoro::Task<void> logout(QString refreshToken) = 0;
};

} // namespace vellamor
