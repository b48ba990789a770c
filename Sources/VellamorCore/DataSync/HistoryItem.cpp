#include "DataSync/HistoryItem.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue HistoryItem::toJson() const
{
    return JsonWriter()
        .insert(u"id", id)
        .insert(u"rawText", rawText)
        .insert(u"polishedText", polishedText)
        .insert(u"lang", lang)
        .insert(u"scene", scene)
        .insert(u"durationMs", durationMs)
        .insert(u"appBundleId", appBundleId)
        .insert(u"createdAt", createdAt.toIso8601())
        .object();
}

HistoryItem HistoryItem::fromJson(const QJsonValue& value, const QString& path, JsonDateReader readDate)
{
    const JsonReader reader(json::readObject(value, path), path);
    return HistoryItem{reader.requireInt64(u"id"),
                       reader.requireString(u"rawText"),
                       reader.requireString(u"polishedText"),
                       reader.requireString(u"lang"),
                       reader.requireString(u"scene"),
                       reader.requireInt64(u"durationMs"),
                       reader.requireString(u"appBundleId"),
                       readDate(reader.value(u"createdAt"), reader.pathFor(u"createdAt"))};
}

} // namespace vellamor
