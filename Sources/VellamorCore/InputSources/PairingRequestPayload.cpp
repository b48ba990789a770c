#include "InputSources/PairingRequestPayload.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

PairingRequestPayload PairingRequestPayload::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    PairingRequestPayload payload;
    payload.sourceID = reader.requireInt64(u"source_id");
    payload.friendlyName = reader.requireString(u"friendly_name");
    payload.ip = reader.requireString(u"ip");
    payload.uaHash = reader.requireString(u"ua_hash");
    payload.expiresAt = reader.requireInt64(u"expires_at");
    return payload;
}

} // namespace vellamor
