#pragma once

#include "Models/AuthTokens.h"
#include "Networking/UserResp.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The token pair the sign-in and refresh actions answer with:
// "access_token", "refresh_token", "access_expire" (a date string) required;
// "user" optional (absent or null).
struct TokenPairResp {
    QString accessToken;
    QString refreshToken;
    Date accessExpire;
    std::optional<UserResp> user;

    static TokenPairResp fromJson(const QJsonValue& value, const QString& path);
    // The instant is taken as received: no skew margin.
    AuthTokens toTokens() const;
};

} // namespace vellamor
