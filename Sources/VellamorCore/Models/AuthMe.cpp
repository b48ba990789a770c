#include "Models/AuthMe.h"

#include "Models/KeychainDateCoding.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

QJsonObject AuthMe::toJson() const
{
    QJsonObject object{
        {QStringLiteral("userId"), userId},
        {QStringLiteral("email"), email},
        {QStringLiteral("locale"), locale},
        {QStringLiteral("createdAt"), encodeKeychainDate(createdAt)},
    };
    if (lastLoginAt)
        object.insert(QStringLiteral("lastLoginAt"), encodeKeychainDate(*lastLoginAt));
    return object;
}

AuthMe AuthMe::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    AuthMe me;
    me.userId = reader.requireInt64(u"userId");
    me.email = reader.requireString(u"email");
    me.locale = reader.requireString(u"locale");
    me.createdAt = decodeKeychainDate(reader.value(u"createdAt"), reader.pathFor(u"createdAt"));
    if (reader.hasValue(u"lastLoginAt"))
        me.lastLoginAt = decodeKeychainDate(reader.value(u"lastLoginAt"), reader.pathFor(u"lastLoginAt"));
    return me;
}

} // namespace vellamor
