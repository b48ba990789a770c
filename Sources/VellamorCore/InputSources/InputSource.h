#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// One input source (a phone's browser page or keyboard) bound to the
// signed-in account, as "inputSource.list" returns it.
//
// Decoding reads "id" (exact integer), "kind", "name", "friendly_name",
// "status", "created_at" and "last_used_at" in that order. "id", "kind" and
// "created_at" are required; only an absent or null member takes its
// default ("" for the names, "active" for the status, none for the last
// use), while a member of the wrong type fails the record and so the whole
// reply holding it. Dates are strings read by decodeFlexibleDate. Status and
// kind are kept exactly as the server sent them.
struct InputSource {
    qint64 id = 0;
    QString kind;
    QString name;
    QString friendlyName;
    QString status = QStringLiteral("active");
    Date createdAt;
    std::optional<Date> lastUsedAt;

    static InputSource fromJson(const QJsonValue& value, const QString& path);
    // The same keys in the same order, "last_used_at" only when there is one;
    // dates as ISO 8601 with milliseconds, which fromJson reads back.
    QJsonValue toJson() const;

    friend bool operator==(const InputSource&, const InputSource&) = default;
};

} // namespace vellamor
