#include "Networking/TextTransformResponse.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue TextTransformResponse::toJson() const
{
    JsonWriter writer;
    writer.insert(u"transformed_text", transformedText)
        .insert(u"mode", mode)
        .insert(u"provider", provider)
        .insert(u"latency_ms", latencyMs)
        .insert(u"session_id", sessionId);
    return writer.object();
}

TextTransformResponse TextTransformResponse::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    TextTransformResponse response;
    response.transformedText = reader.requireString(u"transformed_text");
    response.mode = reader.requireString(u"mode");
    response.provider = reader.requireString(u"provider");
    response.latencyMs = reader.requireInt64(u"latency_ms");
    response.sessionId = reader.requireString(u"session_id");
    return response;
}

} // namespace vellamor
