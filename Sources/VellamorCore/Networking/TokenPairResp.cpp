#include "Networking/TokenPairResp.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

TokenPairResp TokenPairResp::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    TokenPairResp pair;
    pair.accessToken = reader.requireString(u"access_token");
    pair.refreshToken = reader.requireString(u"refresh_token");
    pair.accessExpire = decodeFlexibleDate(reader.value(u"access_expire"), reader.pathFor(u"access_expire"));
    if (reader.hasValue(u"user"))
        pair.user = UserResp::fromJson(reader.value(u"user"), reader.pathFor(u"user"));
    return pair;
}

AuthTokens TokenPairResp::toTokens() const
{
    return AuthTokens{accessToken, refreshToken, accessExpire};
}

} // namespace vellamor
