#include "Account/PreferencesView.h"

#include "Networking/JsonCoding.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

namespace {

QMap<QString, QString> requireStringMap(const JsonReader& reader, QStringView key)
{
    return JsonCoding<QMap<QString, QString>>::decode(reader.value(key), reader.pathFor(key));
}

} // namespace

QJsonValue PreferencesView::toJson() const
{
    JsonWriter writer;
    writer.insert(u"user_id", userId)
        .insert(u"default_scene", defaultScene)
        .insert(u"default_style", defaultStyle)
        .insert(u"default_lang", defaultLang)
        .insert(u"scene_overrides", JsonCoding<QMap<QString, QString>>::encode(sceneOverrides))
        .insert(u"transform_defaults", JsonCoding<QMap<QString, QString>>::encode(transformDefaults))
        .insert(u"history_sync", historySync)
        .insert(u"personalization_enabled", personalizationEnabled)
        .insert(u"dict_version", dictVersion)
        .insert(u"history_version", historyVersion);
    return writer.object();
}

PreferencesView PreferencesView::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    PreferencesView view;
    view.userId = reader.requireInt64(u"user_id");
    view.defaultScene = reader.requireString(u"default_scene");
    view.defaultStyle = reader.requireString(u"default_style");
    view.defaultLang = reader.requireString(u"default_lang");
    view.sceneOverrides = requireStringMap(reader, u"scene_overrides");
    view.transformDefaults = requireStringMap(reader, u"transform_defaults");
    view.historySync = reader.requireBool(u"history_sync");
    view.personalizationEnabled = reader.requireBool(u"personalization_enabled");
    view.dictVersion = reader.requireInt64(u"dict_version");
    view.historyVersion = reader.requireInt64(u"history_version");
    return view;
}

} // namespace vellamor
