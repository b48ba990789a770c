#include "Settings/Preferences.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

#include <QJsonDocument>

namespace vellamor {

const Preferences& Preferences::defaultPreferences()
{
    static const Preferences defaults;
    return defaults;
}

Preferences Preferences::fromJson(const QJsonValue& value)
{
    const JsonReader in(json::readObject(value, {}));
    const Preferences& d = defaultPreferences();
    Preferences p;
    p.backendURL = in.optionalString(u"backendURL").value_or(d.backendURL);
    p.language = in.optionalString(u"language").value_or(d.language);
    p.scene = in.optionalString(u"scene").value_or(d.scene);
    p.style = in.optionalString(u"style").value_or(d.style);
    p.enableLLMPolish = in.optionalBool(u"enableLLMPolish").value_or(d.enableLLMPolish);
    p.hotkeyMode = in.optionalString(u"hotkeyMode").value_or(d.hotkeyMode);
    p.sceneAutoDetect = in.optionalBool(u"sceneAutoDetect").value_or(d.sceneAutoDetect);
    p.insertRawOnly = in.optionalBool(u"insertRawOnly").value_or(d.insertRawOnly);
    p.customHotkey = in.optionalString(u"customHotkey");
    p.selectedMicrophoneUID = in.optionalString(u"selectedMicrophoneUID");
    p.selectedLLMProviderName = in.optionalString(u"selectedLLMProviderName");
    return p;
}

Preferences Preferences::fromJsonData(const QByteArray& data)
{
    return fromJson(QJsonValue(JsonReader::parse(data).object()));
}

QJsonObject Preferences::toJson() const
{
    JsonWriter out;
    out.insert(u"backendURL", backendURL)
        .insert(u"language", language)
        .insert(u"scene", scene)
        .insert(u"style", style)
        .insert(u"enableLLMPolish", enableLLMPolish)
        .insert(u"hotkeyMode", hotkeyMode)
        .insert(u"sceneAutoDetect", sceneAutoDetect)
        .insert(u"insertRawOnly", insertRawOnly)
        .insertIfPresent(u"customHotkey", customHotkey)
        .insertIfPresent(u"selectedMicrophoneUID", selectedMicrophoneUID)
        .insertIfPresent(u"selectedLLMProviderName", selectedLLMProviderName);
    return out.object();
}

QByteArray Preferences::toJsonData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

} // namespace vellamor
