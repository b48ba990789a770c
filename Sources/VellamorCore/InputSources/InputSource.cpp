#include "InputSources/InputSource.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

InputSource InputSource::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    InputSource source;
    source.id = reader.requireInt64(u"id");
    source.kind = reader.requireString(u"kind");
    source.name = reader.optionalString(u"name").value_or(QString());
    source.friendlyName = reader.optionalString(u"friendly_name").value_or(QString());
    if (const auto status = reader.optionalString(u"status"))
        source.status = *status;
    source.createdAt = decodeFlexibleDate(reader.value(u"created_at"), reader.pathFor(u"created_at"));
    if (reader.hasValue(u"last_used_at"))
        source.lastUsedAt = decodeFlexibleDate(reader.value(u"last_used_at"), reader.pathFor(u"last_used_at"));
    return source;
}

QJsonValue InputSource::toJson() const
{
    JsonWriter writer;
    writer.insert(u"id", id)
        .insert(u"kind", kind)
        .insert(u"name", name)
        .insert(u"friendly_name", friendlyName)
        .insert(u"status", status)
        .insert(u"created_at", createdAt.toIso8601WithMilliseconds());
    if (lastUsedAt)
        writer.insert(u"last_used_at", lastUsedAt->toIso8601WithMilliseconds());
    return writer.object();
}

} // namespace vellamor
