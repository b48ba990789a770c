#include "Settings/Preferences.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"
#include "Support/TextEscaping.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace vellamor {

namespace {

bool isLanguageTag(const QString& text)
{
    // A primary language subtag and up to a few subtags of up to eight letters or digits.
    static const QRegularExpression tag(
        QRegularExpression::anchoredPattern(QStringLiteral(R"([A-Za-z]{2,8}(-[A-Za-z0-9]{1,8}){0,4})")));
    return text == u"auto" || tag.match(text).hasMatch();
}

bool isIdentifier(const QString& text)
{
    static const QRegularExpression identifier(
        QRegularExpression::anchoredPattern(QStringLiteral(R"([A-Za-z0-9_.-]{1,64})")));
    return identifier.match(text).hasMatch();
}

bool isWebURL(const QString& text)
{
    if (text.size() > 2048)
        return false;
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") && !url.host().isEmpty();
}

bool isShortPlainText(const std::optional<QString>& text, qsizetype maxLength)
{
    return !text
        || (!text->isEmpty() && text->size() <= maxLength && text->isValidUtf16()
            && std::none_of(text->begin(), text->end(), unsafeInLogLine));
}

} // namespace

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

QStringList Preferences::fallBackOutOfRange()
{
    const Preferences& d = defaultPreferences();
    QStringList reset;
    const auto check = [&reset](bool valid, const char* name, auto& field, const auto& fallback) {
        if (valid)
            return;
        field = fallback;
        reset.append(QLatin1String(name));
    };
    check(isWebURL(backendURL), "backendURL", backendURL, d.backendURL);
    check(isLanguageTag(language), "language", language, d.language);
    check(isIdentifier(scene), "scene", scene, d.scene);
    check(isIdentifier(style), "style", style, d.style);
    check(hotkeyMode == u"hold" || hotkeyMode == u"toggle", "hotkeyMode", hotkeyMode, d.hotkeyMode);
    check(isShortPlainText(customHotkey, 64), "customHotkey", customHotkey, d.customHotkey);
    check(isShortPlainText(selectedMicrophoneUID, 1024), "selectedMicrophoneUID", selectedMicrophoneUID,
          d.selectedMicrophoneUID);
    check(isShortPlainText(selectedLLMProviderName, 256), "selectedLLMProviderName", selectedLLMProviderName,
          d.selectedLLMProviderName);
    return reset;
}

QByteArray Preferences::toJsonData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

} // namespace vellamor
