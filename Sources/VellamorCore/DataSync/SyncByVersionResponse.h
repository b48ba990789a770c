#pragma once

#include "DataSync/DictEntry.h"
#include "DataSync/HistoryItem.h"
#include "Networking/JsonCoding.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

#include <QJsonValue>
#include <QList>
#include <QString>

namespace vellamor {

// The answer of a sync by version: "entries" (in the entry's camel-case
// form), "next_version" and "has_more", all required.
template<typename Entry>
struct SyncByVersionResponse {
    QList<Entry> entries;
    qint64 nextVersion = 0;
    bool hasMore = false;

    static SyncByVersionResponse fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return SyncByVersionResponse{
            JsonCoding<QList<Entry>>::decode(reader.value(u"entries"), reader.pathFor(u"entries")),
            reader.requireInt64(u"next_version"), reader.requireBool(u"has_more")};
    }

    friend bool operator==(const SyncByVersionResponse&, const SyncByVersionResponse&) = default;
};

using HistorySyncResponse = SyncByVersionResponse<HistoryItem>;
using DictionarySyncResponse = SyncByVersionResponse<DictEntry>;

} // namespace vellamor
