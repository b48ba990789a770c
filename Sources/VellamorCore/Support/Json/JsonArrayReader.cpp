#include "Support/Json/JsonArrayReader.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

#include <utility>

namespace vellamor {

JsonArrayReader::JsonArrayReader(QJsonArray array, QString path) : array_(std::move(array)), path_(std::move(path))
{
}

QString JsonArrayReader::pathAt(qsizetype index) const
{
    return json::indexPath(path_, index);
}

QJsonValue JsonArrayReader::valueAt(qsizetype index) const
{
    if (index < 0 || index >= array_.size())
        return QJsonValue(QJsonValue::Undefined);
    return array_.at(index);
}

bool JsonArrayReader::isNullAt(qsizetype index) const
{
    return valueAt(index).isNull();
}

QString JsonArrayReader::stringAt(qsizetype index) const
{
    return json::readString(valueAt(index), pathAt(index));
}

bool JsonArrayReader::boolAt(qsizetype index) const
{
    return json::readBool(valueAt(index), pathAt(index));
}

qint64 JsonArrayReader::int64At(qsizetype index) const
{
    return json::readInt64(valueAt(index), pathAt(index));
}

double JsonArrayReader::doubleAt(qsizetype index) const
{
    return json::readDouble(valueAt(index), pathAt(index));
}

JsonReader JsonArrayReader::objectAt(qsizetype index) const
{
    const QString path = pathAt(index);
    return JsonReader(json::readObject(valueAt(index), path), path);
}

JsonArrayReader JsonArrayReader::arrayAt(qsizetype index) const
{
    const QString path = pathAt(index);
    return JsonArrayReader(json::readArray(valueAt(index), path), path);
}

QStringList JsonArrayReader::strings() const
{
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(stringAt(i));
    return out;
}

QList<qint64> JsonArrayReader::int64s() const
{
    QList<qint64> out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(int64At(i));
    return out;
}

QList<JsonReader> JsonArrayReader::objects() const
{
    QList<JsonReader> out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(objectAt(i));
    return out;
}

JsonError JsonArrayReader::invalidValueAt(qsizetype index, const QString& detail) const
{
    return JsonError::invalidValue(pathAt(index), detail);
}

} // namespace vellamor
