#include "Models/AuthTokens.h"

#include "Models/KeychainDateCoding.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

QJsonObject AuthTokens::toJson() const
{
    return QJsonObject{
        {QStringLiteral("accessToken"), accessToken},
        {QStringLiteral("refreshToken"), refreshToken},
        {QStringLiteral("expiresAt"), encodeKeychainDate(expiresAt)},
    };
}

AuthTokens AuthTokens::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    AuthTokens tokens;
    tokens.accessToken = reader.requireString(u"accessToken");
    tokens.refreshToken = reader.requireString(u"refreshToken");
    tokens.expiresAt = decodeKeychainDate(reader.value(u"expiresAt"), reader.pathFor(u"expiresAt"));
    return tokens;
}

} // namespace vellamor
