#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// One language model offered for polishing. `name` is what the settings keep
// as the chosen model (and the entry's identity), `active` marks the
// server's default, `model` is an extra label shown when not empty.
struct LLMModelOption {
    QString name;
    std::optional<QString> model;
    bool active = false;

    const QString& id() const { return name; }

    // "name" (string) and "active" (Boolean) are required; "model" may be
    // absent or null.
    QJsonValue toJson() const;
    static LLMModelOption fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const LLMModelOption&, const LLMModelOption&) = default;
};

} // namespace vellamor
