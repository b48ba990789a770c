#include "Networking/KeyCasing.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace vellamor {

namespace {

QString toSnakeCase(const QString& key)
{
    QString result;
    result.reserve(key.size() + 4);
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key[i];
        if (i > 0 && c.isUpper()) {
            const QChar previous = key[i - 1];
            const bool endsLowerRun = !previous.isUpper() && previous != QLatin1Char('_');
            const bool startsWordAfterRun =
                previous.isUpper() && i + 1 < key.size() && key[i + 1].isLower();
            if (endsLowerRun || startsWordAfterRun)
                result += QLatin1Char('_');
        }
        result += c.toLower();
    }
    return result;
}

QString fromSnakeCase(const QString& key)
{
    qsizetype first = 0;
    while (first < key.size() && key[first] == QLatin1Char('_'))
        ++first;
    if (first == key.size())
        return key;
    qsizetype last = key.size() - 1;
    while (last > first && key[last] == QLatin1Char('_'))
        --last;

    const QString middle = key.mid(first, last - first + 1);
    if (!middle.contains(QLatin1Char('_')))
        return key;

    const QStringList words = middle.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    QString joined = words.first().toLower();
    for (qsizetype i = 1; i < words.size(); ++i)
        joined += words[i].left(1).toUpper() + words[i].mid(1).toLower();
    return key.left(first) + joined + key.mid(last + 1);
}

} // namespace

QString convertKey(const QString& key, KeyCasing casing)
{
    switch (casing) {
    case KeyCasing::unchanged:
        return key;
    case KeyCasing::toSnakeCase:
        return toSnakeCase(key);
    case KeyCasing::fromSnakeCase:
        return fromSnakeCase(key);
    }
    return key;
}

QJsonValue convertingKeys(const QJsonValue& value, KeyCasing casing)
{
    if (casing == KeyCasing::unchanged)
        return value;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QJsonObject converted;
        for (auto it = object.begin(); it != object.end(); ++it)
            converted.insert(convertKey(it.key(), casing), convertingKeys(it.value(), casing));
        return converted;
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        QJsonArray converted;
        for (const QJsonValue& element : array)
            converted.append(convertingKeys(element, casing));
        return converted;
    }
    return value;
}

} // namespace vellamor
