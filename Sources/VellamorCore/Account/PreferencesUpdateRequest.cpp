#include "Account/PreferencesUpdateRequest.h"

#include "Networking/JsonCoding.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

namespace {

using StringMap = QMap<QString, QString>;

std::optional<QJsonValue> encodedMap(const std::optional<StringMap>& map)
{
    if (!map)
        return std::nullopt;
    return JsonCoding<StringMap>::encode(*map);
}

std::optional<StringMap> optionalStringMap(const JsonReader& reader, QStringView key)
{
    return JsonCoding<std::optional<StringMap>>::decode(reader.value(key), reader.pathFor(key));
}

} // namespace

QJsonValue PreferencesUpdateRequest::toJson() const
{
    JsonWriter writer;
    writer.insertIfPresent(u"default_scene", defaultScene)
        .insertIfPresent(u"default_style", defaultStyle)
        .insertIfPresent(u"default_lang", defaultLang)
        .insertIfPresent(u"scene_overrides", encodedMap(sceneOverrides))
        .insertIfPresent(u"transform_defaults", encodedMap(transformDefaults))
        .insertIfPresent(u"history_sync", historySync);
    return writer.object();
}

PreferencesUpdateRequest PreferencesUpdateRequest::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    PreferencesUpdateRequest request;
    request.defaultScene = reader.optionalString(u"default_scene");
    request.defaultStyle = reader.optionalString(u"default_style");
    request.defaultLang = reader.optionalString(u"default_lang");
    request.sceneOverrides = optionalStringMap(reader, u"scene_overrides");
    request.transformDefaults = optionalStringMap(reader, u"transform_defaults");
    request.historySync = reader.optionalBool(u"history_sync");
    return request;
}

} // namespace vellamor
