#pragma once

#include <QJsonValue>
#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// The preferences to change; a field left none stays as the server holds it.
struct PreferencesUpdateRequest {
    std::optional<QString> defaultScene;
    std::optional<QString> defaultStyle;
    std::optional<QString> defaultLang;
    std::optional<QMap<QString, QString>> sceneOverrides;
    std::optional<QMap<QString, QString>> transformDefaults;
    std::optional<bool> historySync;

    // The keys of PreferencesView. Encoding writes only the fields that are
    // set (never null), so nothing set encodes as {}; decoding leaves a field
    // none when its key is absent or null.
    QJsonValue toJson() const;
    static PreferencesUpdateRequest fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const PreferencesUpdateRequest&, const PreferencesUpdateRequest&) = default;
};

} // namespace vellamor
