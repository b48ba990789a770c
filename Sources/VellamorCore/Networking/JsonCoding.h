#pragma once

#include "Support/Json/JsonValue.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>

#include <concepts>
#include <optional>

namespace vellamor {

// How a payload or reply type maps to JSON. A type opts in with members
//     QJsonValue toJson() const;                                   // encodable
//     static T fromJson(const QJsonValue& value, const QString& path); // decodable
// where fromJson throws JsonError naming `path` (built with json::keyPath /
// json::indexPath) on any mismatch. Keys are written as the type names its
// fields; a client's key strategy (see KeyCasing.h) is applied afterwards to
// the whole tree.
template<typename T>
concept HasJsonMembersForEncoding = requires(const T& value) {
    { value.toJson() } -> std::convertible_to<QJsonValue>;
};

template<typename T>
concept HasJsonMembersForDecoding = requires(const QJsonValue& value, const QString& path) {
    { T::fromJson(value, path) } -> std::same_as<T>;
};

template<typename T>
struct JsonCoding {
    static QJsonValue encode(const T& value)
        requires HasJsonMembersForEncoding<T>
    {
        return value.toJson();
    }
    static T decode(const QJsonValue& value, const QString& path)
        requires HasJsonMembersForDecoding<T>
    {
        return T::fromJson(value, path);
    }
};

template<typename T>
concept JsonEncodable = requires(const T& value) {
    { JsonCoding<T>::encode(value) } -> std::convertible_to<QJsonValue>;
};

template<typename T>
concept JsonDecodable = requires(const QJsonValue& value, const QString& path) {
    { JsonCoding<T>::decode(value, path) } -> std::same_as<T>;
};

template<>
struct JsonCoding<QJsonValue> {
    static QJsonValue encode(const QJsonValue& value) { return value; }
    static QJsonValue decode(const QJsonValue& value, const QString&) { return value; }
};

template<>
struct JsonCoding<QJsonObject> {
    static QJsonValue encode(const QJsonObject& value) { return value; }
    static QJsonObject decode(const QJsonValue& value, const QString& path) { return json::readObject(value, path); }
};

template<>
struct JsonCoding<QJsonArray> {
    static QJsonValue encode(const QJsonArray& value) { return value; }
    static QJsonArray decode(const QJsonValue& value, const QString& path) { return json::readArray(value, path); }
};

template<>
struct JsonCoding<QString> {
    static QJsonValue encode(const QString& value) { return value; }
    static QString decode(const QJsonValue& value, const QString& path) { return json::readString(value, path); }
};

template<>
struct JsonCoding<bool> {
    static QJsonValue encode(bool value) { return value; }
    static bool decode(const QJsonValue& value, const QString& path) { return json::readBool(value, path); }
};

template<>
struct JsonCoding<qint64> {
    static QJsonValue encode(qint64 value) { return value; }
    static qint64 decode(const QJsonValue& value, const QString& path) { return json::readInt64(value, path); }
};

template<>
struct JsonCoding<double> {
    static QJsonValue encode(double value) { return value; }
    static double decode(const QJsonValue& value, const QString& path) { return json::readDouble(value, path); }
};

// A string-to-string map: an object whose every member is a string.
template<>
struct JsonCoding<QMap<QString, QString>> {
    static QJsonValue encode(const QMap<QString, QString>& map);
    static QMap<QString, QString> decode(const QJsonValue& value, const QString& path);
};

template<typename T>
struct JsonCoding<QList<T>> {
    static QJsonValue encode(const QList<T>& list)
        requires JsonEncodable<T>
    {
        QJsonArray array;
        for (const T& element : list)
            array.append(JsonCoding<T>::encode(element));
        return array;
    }
    static QList<T> decode(const QJsonValue& value, const QString& path)
        requires JsonDecodable<T>
    {
        const QJsonArray array = json::readArray(value, path);
        QList<T> list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i)
            list.append(JsonCoding<T>::decode(array.at(i), json::indexPath(path, i)));
        return list;
    }
};

// An optional value: none is written as null, and null reads as none.
template<typename T>
struct JsonCoding<std::optional<T>> {
    static QJsonValue encode(const std::optional<T>& value)
        requires JsonEncodable<T>
    {
        return value ? QJsonValue(JsonCoding<T>::encode(*value)) : QJsonValue(QJsonValue::Null);
    }
    static std::optional<T> decode(const QJsonValue& value, const QString& path)
        requires JsonDecodable<T>
    {
        if (value.isNull() || value.isUndefined())
            return std::nullopt;
        return JsonCoding<T>::decode(value, path);
    }
};

// Compact JSON text of an object or array. Throws JsonEncodingError for a
// NaN or infinite number anywhere inside, and for a top-level value that is
// neither an object nor an array.
QByteArray encodeJsonText(const QJsonValue& value);

} // namespace vellamor
