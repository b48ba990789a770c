#pragma once

#include "Support/Date.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The signed-in user as the server reports it; `id()` is its identity.
//
// Local JSON form (the keyring document): "userId" (integer), "email",
// "locale", "createdAt" required; "lastLoginAt" written only when present
// and optional on reading; dates as in KeychainDateCoding.h.
struct AuthMe {
    qint64 userId = 0;
    QString email;
    QString locale;
    Date createdAt;
    std::optional<Date> lastLoginAt;

    qint64 id() const { return userId; }

    QJsonObject toJson() const;
    static AuthMe fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const AuthMe&, const AuthMe&) = default;
};

} // namespace vellamor
