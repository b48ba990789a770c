#include "Support/Json/JsonReader.h"

#include "Support/Json/JsonError.h"
#include "Support/Json/JsonValue.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <utility>

namespace vellamor {

JsonReader::JsonReader(QJsonObject object, QString path) : object_(std::move(object)), path_(std::move(path)) { }

JsonReader JsonReader::parse(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw JsonError::invalidJson(error.errorString() + QStringLiteral(" at offset ") + QString::number(error.offset));
    if (document.isObject())
        return JsonReader(document.object());
    if (document.isArray())
        throw JsonError::typeMismatch({}, QStringLiteral("object"), QStringLiteral("array"));
    // A bare scalar at the top level: QJsonDocument keeps no value for it.
    throw JsonError::typeMismatch({}, QStringLiteral("object"), QStringLiteral("a non-object value"));
}

QString JsonReader::pathFor(QStringView key) const
{
    return json::keyPath(path_, key);
}

bool JsonReader::contains(QStringView key) const
{
    return object_.constFind(key) != object_.constEnd();
}

bool JsonReader::isNull(QStringView key) const
{
    const auto it = object_.constFind(key);
    return it != object_.constEnd() && it->isNull();
}

bool JsonReader::hasValue(QStringView key) const
{
    const auto it = object_.constFind(key);
    return it != object_.constEnd() && !it->isNull() && !it->isUndefined();
}

QJsonValue JsonReader::value(QStringView key) const
{
    const auto it = object_.constFind(key);
    return it == object_.constEnd() ? QJsonValue(QJsonValue::Undefined) : QJsonValue(*it);
}

QString JsonReader::requireString(QStringView key) const
{
    return json::readString(value(key), pathFor(key));
}

bool JsonReader::requireBool(QStringView key) const
{
    return json::readBool(value(key), pathFor(key));
}

qint64 JsonReader::requireInt64(QStringView key) const
{
    return json::readInt64(value(key), pathFor(key));
}

double JsonReader::requireDouble(QStringView key) const
{
    return json::readDouble(value(key), pathFor(key));
}

JsonReader JsonReader::requireObject(QStringView key) const
{
    const QString path = pathFor(key);
    return JsonReader(json::readObject(value(key), path), path);
}

JsonArrayReader JsonReader::requireArray(QStringView key) const
{
    const QString path = pathFor(key);
    return JsonArrayReader(json::readArray(value(key), path), path);
}

std::optional<QString> JsonReader::optionalString(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireString(key);
}

std::optional<bool> JsonReader::optionalBool(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireBool(key);
}

std::optional<qint64> JsonReader::optionalInt64(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireInt64(key);
}

std::optional<double> JsonReader::optionalDouble(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireDouble(key);
}

std::optional<JsonReader> JsonReader::optionalObject(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireObject(key);
}

std::optional<JsonArrayReader> JsonReader::optionalArray(QStringView key) const
{
    if (!hasValue(key))
        return std::nullopt;
    return requireArray(key);
}

QMap<QString, QString> JsonReader::toStringMap() const
{
    QMap<QString, QString> map;
    for (auto it = object_.constBegin(); it != object_.constEnd(); ++it)
        map.insert(it.key(), json::readString(it.value(), pathFor(it.key())));
    return map;
}

JsonError JsonReader::invalidValue(QStringView key, const QString& detail) const
{
    return JsonError::invalidValue(pathFor(key), detail);
}

} // namespace vellamor
