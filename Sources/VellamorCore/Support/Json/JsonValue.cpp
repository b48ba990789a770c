#include "Support/Json/JsonValue.h"

#include "Support/Json/JsonError.h"

#include <cmath>

namespace vellamor::json {

QString typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("bool");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::String:
        return QStringLiteral("string");
    case QJsonValue::Array:
        return QStringLiteral("array");
    case QJsonValue::Object:
        return QStringLiteral("object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("absent");
}

QString keyPath(const QString& parent, QStringView key)
{
    if (parent.isEmpty())
        return key.toString();
    return parent + QLatin1Char('.') + key;
}

QString indexPath(const QString& parent, qsizetype index)
{
    return parent + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

void throwMismatch(const QJsonValue& value, const QString& path, const QString& expected)
{
    if (value.isUndefined())
        throw JsonError::missingKey(path, expected);
    throw JsonError::typeMismatch(path, expected, typeName(value));
}

std::optional<qint64> exactInt64(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() returns its default for a fraction or an out-of-range
    // number; only a number it really converts gives the same answer for
    // two different defaults.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

QString readString(const QJsonValue& value, const QString& path)
{
    if (!value.isString())
        throwMismatch(value, path, QStringLiteral("string"));
    return value.toString();
}

bool readBool(const QJsonValue& value, const QString& path)
{
    if (!value.isBool())
        throwMismatch(value, path, QStringLiteral("bool"));
    return value.toBool();
}

qint64 readInt64(const QJsonValue& value, const QString& path)
{
    if (!value.isDouble())
        throwMismatch(value, path, QStringLiteral("integer"));
    if (const auto exact = exactInt64(value))
        return *exact;
    // The double is used only to word the error.
    const double approx = value.toDouble();
    const QString shown = QString::number(approx, 'g', 17);
    if (std::isfinite(approx) && std::trunc(approx) != approx)
        throw JsonError::notIntegral(path, shown);
    throw JsonError::outOfRange(path, shown);
}

double readDouble(const QJsonValue& value, const QString& path)
{
    if (!value.isDouble())
        throwMismatch(value, path, QStringLiteral("number"));
    return value.toDouble();
}

QJsonObject readObject(const QJsonValue& value, const QString& path)
{
    if (!value.isObject())
        throwMismatch(value, path, QStringLiteral("object"));
    return value.toObject();
}

QJsonArray readArray(const QJsonValue& value, const QString& path)
{
    if (!value.isArray())
        throwMismatch(value, path, QStringLiteral("array"));
    return value.toArray();
}

} // namespace vellamor::json
