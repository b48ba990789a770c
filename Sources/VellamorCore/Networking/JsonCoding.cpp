#include "Networking/JsonCoding.h"

#include "Networking/JsonEncodingError.h"

#include <QJsonDocument>

#include <cmath>

namespace vellamor {

namespace {

void checkEncodable(const QJsonValue& value, const QString& path)
{
    switch (value.type()) {
    case QJsonValue::Double:
        if (!std::isfinite(value.toDouble()))
            throw JsonEncodingError(path, QStringLiteral("non-finite number"));
        return;
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            checkEncodable(it.value(), json::keyPath(path, it.key()));
        return;
    }
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            checkEncodable(array.at(i), json::indexPath(path, i));
        return;
    }
    case QJsonValue::Undefined:
        throw JsonEncodingError(path, QStringLiteral("undefined value"));
    default:
        return;
    }
}

} // namespace

QJsonValue JsonCoding<QMap<QString, QString>>::encode(const QMap<QString, QString>& map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

QMap<QString, QString> JsonCoding<QMap<QString, QString>>::decode(const QJsonValue& value, const QString& path)
{
    const QJsonObject object = json::readObject(value, path);
    QMap<QString, QString> map;
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), json::readString(it.value(), json::keyPath(path, it.key())));
    return map;
}

QByteArray encodeJsonText(const QJsonValue& value)
{
    checkEncodable(value, {});
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    throw JsonEncodingError({}, QStringLiteral("top-level value must be an object or an array"));
}

} // namespace vellamor
