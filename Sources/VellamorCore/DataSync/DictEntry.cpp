#include "DataSync/DictEntry.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue DictEntry::toJson() const
{
    return JsonWriter()
        .insert(u"id", id)
        .insert(u"term", term)
        .insert(u"replacement", replacement)
        .insert(u"note", note)
        .insert(u"createdAt", createdAt.toIso8601())
        .insert(u"updatedAt", updatedAt.toIso8601())
        .object();
}

DictEntry DictEntry::fromJson(const QJsonValue& value, const QString& path, JsonDateReader readDate)
{
    const JsonReader reader(json::readObject(value, path), path);
    return DictEntry{reader.requireInt64(u"id"),
                     reader.requireString(u"term"),
                     reader.requireString(u"replacement"),
                     reader.requireString(u"note"),
                     readDate(reader.value(u"createdAt"), reader.pathFor(u"createdAt")),
                     readDate(reader.value(u"updatedAt"), reader.pathFor(u"updatedAt"))};
}

} // namespace vellamor
