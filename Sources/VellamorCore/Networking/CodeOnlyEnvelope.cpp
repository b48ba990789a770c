#include "Networking/CodeOnlyEnvelope.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

CodeOnlyEnvelope CodeOnlyEnvelope::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    CodeOnlyEnvelope envelope;
    envelope.code = reader.requireInt64(u"code");
    envelope.msg = reader.requireString(u"msg");
    return envelope;
}

CodeOnlyEnvelope CodeOnlyEnvelope::decode(const QByteArray& body)
{
    return fromJson(JsonReader::parse(body).object(), {});
}

} // namespace vellamor
