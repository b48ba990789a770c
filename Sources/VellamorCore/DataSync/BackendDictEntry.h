#pragma once

#include "DataSync/DictEntry.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// One entry of the "dictionary.list" and "dictionary.upsert" answers: "id",
// "term", "created_at" and "updated_at" required; "phonetic" (the server's
// name for the replacement) and "note" optional.
struct BackendDictEntry {
    qint64 id = 0;
    QString term;
    std::optional<QString> phonetic;
    std::optional<QString> note;
    Date createdAt;
    Date updatedAt;

    static BackendDictEntry fromJson(const QJsonValue& value, const QString& path);

    // An absent phonetic or note becomes "".
    DictEntry toDictEntry() const;
};

} // namespace vellamor
