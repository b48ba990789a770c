#pragma once

#include <QJsonValue>
#include <QMap>
#include <QString>

namespace vellamor {

// The account's preferences as the server holds them.
struct PreferencesView {
    qint64 userId = 0;
    QString defaultScene;
    QString defaultStyle;
    QString defaultLang;
    QMap<QString, QString> sceneOverrides;
    QMap<QString, QString> transformDefaults;
    bool historySync = false;
    bool personalizationEnabled = false;
    qint64 dictVersion = 0;
    qint64 historyVersion = 0;

    // All ten keys, spelt in snake_case ("user_id", "default_scene",
    // "default_style", "default_lang", "scene_overrides",
    // "transform_defaults", "history_sync", "personalization_enabled",
    // "dict_version", "history_version"), are required and non-null; the
    // maps are objects of strings, their keys kept as sent.
    QJsonValue toJson() const;
    static PreferencesView fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const PreferencesView&, const PreferencesView&) = default;
};

} // namespace vellamor
