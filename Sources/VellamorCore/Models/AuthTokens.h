#pragma once

#include "Support/Date.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace vellamor {

// The token pair of a signed-in session. `expiresAt` is the server's
// "access_expire" as an absolute instant, unchanged.
//
// Local JSON form (the keyring document): "accessToken", "refreshToken",
// "expiresAt", all required, dates as in KeychainDateCoding.h.
struct AuthTokens {
    QString accessToken;
    QString refreshToken;
    Date expiresAt;

    QJsonObject toJson() const;
    static AuthTokens fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const AuthTokens&, const AuthTokens&) = default;
};

} // namespace vellamor
