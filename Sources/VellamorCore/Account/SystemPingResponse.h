#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The answer to "system.ping".
struct SystemPingResponse {
    bool pong = false;
    QString region;
    Date time;

    // "pong", "region" and "time" (a decodeFlexibleDate string) are required
    // and non-null.
    QJsonValue toJson() const;
    static SystemPingResponse fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const SystemPingResponse&, const SystemPingResponse&) = default;
};

} // namespace vellamor
