#pragma once

#include "Support/Json/JsonArrayReader.h"
#include "Support/Json/JsonError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// A strict, read-only view of one JSON object and where it sits in the
// document (its key path), so every error names the full path:
//
//     const auto root = JsonReader::parse(body);
//     const auto data = root.requireObject(u"data");
//     const QString userId = data.requireString(u"user_id");          // "data.user_id"
//     const std::optional<qint64> expiresAt = data.optionalInt64(u"expires_at");
//
// Keys are spelt by the caller exactly as on the wire (no case conversion).
// - require…: the key must be present with a value of that type; absent →
//   JsonError::missingKey, null or another type → JsonError::typeMismatch.
// - optional…: absent or null → none; present with another type → typeMismatch.
// - contains / isNull / hasValue tell absent, null and present apart.
// Integers are exact qint64 (see json::exactInt64): 1.5 → notIntegral,
// 2^63 → outOfRange, 1.0 → 1. Nothing here reads through the non-const
// QJsonObject::operator[], which would insert null for a missing key.
class JsonReader {
public:
    JsonReader() = default;
    explicit JsonReader(QJsonObject object, QString path = {});

    // The object in `bytes`; throws JsonError::invalidJson for malformed
    // text and typeMismatch (at the top level) for any other JSON value.
    static JsonReader parse(const QByteArray& bytes);

    const QJsonObject& object() const { return object_; }
    const QString& path() const { return path_; }
    QString pathFor(QStringView key) const;
    QStringList keys() const { return object_.keys(); }

    bool contains(QStringView key) const;
    bool isNull(QStringView key) const;   // present and null
    bool hasValue(QStringView key) const; // present and not null
    QJsonValue value(QStringView key) const; // Undefined when absent

    QString requireString(QStringView key) const;
    bool requireBool(QStringView key) const;
    qint64 requireInt64(QStringView key) const;
    double requireDouble(QStringView key) const;
    JsonReader requireObject(QStringView key) const;
    JsonArrayReader requireArray(QStringView key) const;

    std::optional<QString> optionalString(QStringView key) const;
    std::optional<bool> optionalBool(QStringView key) const;
    std::optional<qint64> optionalInt64(QStringView key) const;
    std::optional<double> optionalDouble(QStringView key) const;
    std::optional<JsonReader> optionalObject(QStringView key) const;
    std::optional<JsonArrayReader> optionalArray(QStringView key) const;

    // Every member of this object as text; a non-string member is a typeMismatch.
    QMap<QString, QString> toStringMap() const;

    // A JsonError::invalidValue at this key, for the caller's own rules
    // (an unknown enumeration text, a negative count, ...).
    JsonError invalidValue(QStringView key, const QString& detail) const;

private:
    QJsonObject object_;
    QString path_;
};

} // namespace vellamor
