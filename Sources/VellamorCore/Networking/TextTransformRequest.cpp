#include "Networking/TextTransformRequest.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue TextTransformRequest::toJson() const
{
    JsonWriter writer;
    writer.insert(u"mode", mode)
        .insert(u"source_text", sourceText)
        .insert(u"instruction", instruction)
        .insert(u"context", context.toJson())
        .insert(u"session_id", sessionId);
    return writer.object();
}

TextTransformRequest TextTransformRequest::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    TextTransformRequest request;
    request.mode = reader.requireString(u"mode");
    request.sourceText = reader.requireString(u"source_text");
    request.instruction = reader.requireString(u"instruction");
    request.context = TransformContext::fromJson(reader.requireObject(u"context").object(), reader.pathFor(u"context"));
    request.sessionId = reader.requireString(u"session_id");
    return request;
}

} // namespace vellamor
