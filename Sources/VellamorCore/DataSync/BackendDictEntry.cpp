#include "DataSync/BackendDictEntry.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

BackendDictEntry BackendDictEntry::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    return BackendDictEntry{reader.requireInt64(u"id"),
                            reader.requireString(u"term"),
                            reader.optionalString(u"phonetic"),
                            reader.optionalString(u"note"),
                            decodeFlexibleDate(reader.value(u"created_at"), reader.pathFor(u"created_at")),
                            decodeFlexibleDate(reader.value(u"updated_at"), reader.pathFor(u"updated_at"))};
}

DictEntry BackendDictEntry::toDictEntry() const
{
    return DictEntry{id, term, phonetic.value_or(QString()), note.value_or(QString()), createdAt, updatedAt};
}

} // namespace vellamor
