#include "Networking/TransformContext.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue TransformContext::toJson() const
{
    JsonWriter writer;
    writer.insert(u"app_bundle_id", appBundleId)
        .insert(u"scene", scene)
        .insert(u"style", style)
        .insert(u"target_language", targetLanguage);
    return writer.object();
}

TransformContext TransformContext::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    return TransformContext{reader.requireString(u"app_bundle_id"), reader.requireString(u"scene"),
                            reader.requireString(u"style"), reader.requireString(u"target_language")};
}

} // namespace vellamor
