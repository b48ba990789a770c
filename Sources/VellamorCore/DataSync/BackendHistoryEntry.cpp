#include "DataSync/BackendHistoryEntry.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

BackendHistoryEntry BackendHistoryEntry::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    return BackendHistoryEntry{reader.requireInt64(u"id"),
                               reader.requireString(u"raw_text"),
                               reader.optionalString(u"polished_text"),
                               reader.optionalString(u"lang"),
                               reader.optionalString(u"scene"),
                               reader.optionalInt64(u"duration_ms"),
                               reader.optionalString(u"app_bundle_id"),
                               decodeFlexibleDate(reader.value(u"created_at"), reader.pathFor(u"created_at"))};
}

HistoryItem BackendHistoryEntry::toHistoryItem() const
{
    return HistoryItem{id,
                       rawText,
                       polishedText.value_or(QString()),
                       lang.value_or(QString()),
                       scene.value_or(QString()),
                       durationMs.value_or(0),
                       appBundleId.value_or(QString()),
                       createdAt};
}

} // namespace vellamor
