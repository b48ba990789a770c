#include "Networking/UserResp.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

UserResp UserResp::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    UserResp user;
    user.id = reader.requireInt64(u"id");
    user.email = reader.requireString(u"email");
    user.locale = reader.requireString(u"locale");
    user.createdAt = decodeFlexibleDate(reader.value(u"created_at"), reader.pathFor(u"created_at"));
    if (reader.hasValue(u"last_login_at"))
        user.lastLoginAt = decodeFlexibleDate(reader.value(u"last_login_at"), reader.pathFor(u"last_login_at"));
    return user;
}

AuthMe UserResp::toAuthMe() const
{
    return AuthMe{id, email, locale, createdAt, lastLoginAt};
}

} // namespace vellamor
