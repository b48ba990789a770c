#include "StateReader.h"

#include "ApiAction.h"

namespace vellamor::devbackend
{

QString StateReader::text(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    ok_ = ok_ && value.isString();
    return value.toString();
}

qint64 StateReader::integer(const QJsonObject& object, const QString& key)
{
    const std::optional<qint64> value = exactInteger(object.value(key));
    ok_ = ok_ && value.has_value();
    return value.value_or(0);
}

std::optional<qint64> StateReader::optionalInteger(const QJsonObject& object, const QString& key)
{
    if (!object.contains(key))
        return std::nullopt;
    return integer(object, key);
}

QDateTime StateReader::time(const QJsonObject& object, const QString& key)
{
    const QDateTime value = QDateTime::fromString(text(object, key), Qt::ISODateWithMs);
    ok_ = ok_ && value.isValid();
    return value.toUTC();
}

std::optional<QDateTime> StateReader::optionalTime(const QJsonObject& object, const QString& key)
{
    if (!object.contains(key))
        return std::nullopt;
    return time(object, key);
}

bool StateReader::boolean(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    ok_ = ok_ && value.isBool();
    return value.toBool();
}

QJsonArray StateReader::array(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    ok_ = ok_ && (value.isArray() || value.isUndefined());
    return value.toArray();
}

QList<QJsonObject> StateReader::objects(const QJsonArray& array)
{
    QList<QJsonObject> objects;
    for (const QJsonValue& value : array) {
        ok_ = ok_ && value.isObject();
        objects.append(value.toObject());
    }
    return objects;
}

qint64 StateReader::nextId(const QJsonObject& object, const QString& key, qint64 first, qint64 highestGiven)
{
    const qint64 next = optionalInteger(object, key).value_or(first);
    ok_ = ok_ && next > highestGiven && next < std::numeric_limits<qint64>::max();
    return next;
}

qint64 StateReader::lastGiven(const QJsonObject& object, const QString& key, qint64 highestGiven)
{
    const qint64 last = integer(object, key);
    ok_ = ok_ && last >= highestGiven && last < std::numeric_limits<qint64>::max();
    return last;
}

} // namespace vellamor::devbackend
