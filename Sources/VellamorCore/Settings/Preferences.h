#pragma once

#include "Settings/AppConfig.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// The user's local settings, stored as one JSON object whose keys are the
// field names below (camelCase, no key conversion).
struct Preferences {
    QString backendURL = AppConfig::defaultAPIBaseURLText();
    QString language = QStringLiteral("auto");     // "auto", "zh" or "en"
    QString scene = QStringLiteral("general");
    QString style = QStringLiteral("original");
    bool enableLLMPolish = true;
    QString hotkeyMode = QStringLiteral("hold");   // "hold" or "toggle"
    bool sceneAutoDetect = true;
    bool insertRawOnly = false;
    std::optional<QString> customHotkey;           // none: the default hotkey
    std::optional<QString> selectedMicrophoneUID;  // none: the system default input
    std::optional<QString> selectedLLMProviderName; // none: the service's default

    // Built once on first use.
    static const Preferences& defaultPreferences();

    // The value must be an object. A key that is absent or null takes the
    // default; a present value of the wrong type fails the whole decoding
    // (JsonError); unknown keys are ignored.
    static Preferences fromJson(const QJsonValue& value);
    // Parses and decodes; throws JsonError for malformed text as well.
    static Preferences fromJsonData(const QByteArray& data);

    // The eight required fields always; an optional only when it has a value
    // (never null).
    QJsonObject toJson() const;

    // Puts every field whose value is outside its range or form back to its
    // default and returns the names of those fields, in field order. The
    // URL must be http or https with a host; the language "auto" or a
    // language tag ("zh", "en", "zh-Hans-CN"); scene and style short
    // identifiers; the hotkey mode "hold" or "toggle"; the optional texts
    // short and free of control and bidirectional control characters.
    QStringList fallBackOutOfRange();
    QByteArray toJsonData() const;

    friend bool operator==(const Preferences&, const Preferences&) = default;
};

} // namespace vellamor
