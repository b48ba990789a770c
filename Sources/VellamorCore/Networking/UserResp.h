#pragma once

#include "Models/AuthMe.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The server's user object: "id" (a JSON integer), "email", "locale",
// "created_at" required; "last_login_at" optional (absent or null). Dates are
// strings read by decodeFlexibleDate. Other members are ignored.
struct UserResp {
    qint64 id = 0;
    QString email;
    QString locale;
    Date createdAt;
    std::optional<Date> lastLoginAt;

    static UserResp fromJson(const QJsonValue& value, const QString& path);
    AuthMe toAuthMe() const;
};

} // namespace vellamor
