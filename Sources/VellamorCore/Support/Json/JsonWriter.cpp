#include "Support/Json/JsonWriter.h"

#include "Support/Json/JsonError.h"

#include <QJsonDocument>

#include <cmath>

namespace vellamor {

JsonWriter& JsonWriter::insertValue(QStringView key, const QJsonValue& value)
{
    object_.insert(key, value);
    return *this;
}

JsonWriter& JsonWriter::insert(QStringView key, const QString& value)
{
    return insertValue(key, QJsonValue(value));
}

JsonWriter& JsonWriter::insert(QStringView key, bool value)
{
    return insertValue(key, QJsonValue(value));
}

JsonWriter& JsonWriter::insert(QStringView key, double value)
{
    if (!std::isfinite(value))
        throw JsonError::invalidValue(key.toString(), QStringLiteral("a non-finite number cannot be written as JSON"));
    return insertValue(key, QJsonValue(value));
}

JsonWriter& JsonWriter::insert(QStringView key, const QJsonObject& value)
{
    return insertValue(key, QJsonValue(value));
}

JsonWriter& JsonWriter::insert(QStringView key, const QJsonArray& value)
{
    return insertValue(key, QJsonValue(value));
}

JsonWriter& JsonWriter::insert(QStringView key, const QJsonValue& value)
{
    if (value.isDouble() && !std::isfinite(value.toDouble()))
        throw JsonError::invalidValue(key.toString(), QStringLiteral("a non-finite number cannot be written as JSON"));
    return insertValue(key, value);
}

JsonWriter& JsonWriter::insert(QStringView key, const JsonWriter& value)
{
    return insertValue(key, QJsonValue(value.object()));
}

JsonWriter& JsonWriter::insert(QStringView key, const QStringList& value)
{
    return insertValue(key, QJsonValue(QJsonArray::fromStringList(value)));
}

JsonWriter& JsonWriter::insertNull(QStringView key)
{
    return insertValue(key, QJsonValue(QJsonValue::Null));
}

void JsonWriter::throwUnsignedOutOfRange(QStringView key) const
{
    throw JsonError::invalidValue(key.toString(), QStringLiteral("an unsigned integer above 2^63-1 cannot be written exactly"));
}

QByteArray JsonWriter::toJson() const
{
    return QJsonDocument(object_).toJson(QJsonDocument::Compact);
}

} // namespace vellamor
