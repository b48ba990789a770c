#include "Account/LLMModelOption.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue LLMModelOption::toJson() const
{
    JsonWriter writer;
    writer.insert(u"name", name).insertIfPresent(u"model", model).insert(u"active", active);
    return writer.object();
}

LLMModelOption LLMModelOption::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    return LLMModelOption{reader.requireString(u"name"), reader.optionalString(u"model"),
                          reader.requireBool(u"active")};
}

} // namespace vellamor
