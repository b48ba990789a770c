#include "Account/SystemPingResponse.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue SystemPingResponse::toJson() const
{
    JsonWriter writer;
    writer.insert(u"pong", pong).insert(u"region", region).insert(u"time", time.toIso8601());
    return writer.object();
}

SystemPingResponse SystemPingResponse::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    return SystemPingResponse{reader.requireBool(u"pong"), reader.requireString(u"region"),
                              decodeFlexibleDate(reader.value(u"time"), reader.pathFor(u"time"))};
}

} // namespace vellamor
