#pragma once

#include "Support/Json/JsonError.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

namespace vellamor {

class JsonReader;

// A strict, read-only view of one JSON array and its path; elements are read
// by index with the same type rules as JsonReader, and errors name the
// element as `path[i]`. An index outside the array reads as absent
// (JsonError::missingKey), never as Qt's silent default.
class JsonArrayReader {
public:
    JsonArrayReader() = default;
    explicit JsonArrayReader(QJsonArray array, QString path = {});

    const QJsonArray& array() const { return array_; }
    const QString& path() const { return path_; }
    qsizetype size() const { return array_.size(); }
    bool isEmpty() const { return array_.isEmpty(); }
    QString pathAt(qsizetype index) const;

    QJsonValue valueAt(qsizetype index) const; // Undefined outside the array
    bool isNullAt(qsizetype index) const;

    QString stringAt(qsizetype index) const;
    bool boolAt(qsizetype index) const;
    qint64 int64At(qsizetype index) const;
    double doubleAt(qsizetype index) const;
    JsonReader objectAt(qsizetype index) const;
    JsonArrayReader arrayAt(qsizetype index) const;

    // Every element, each checked.
    QStringList strings() const;
    QList<qint64> int64s() const;
    QList<JsonReader> objects() const;

    JsonError invalidValueAt(qsizetype index, const QString& detail) const;

private:
    QJsonArray array_;
    QString path_;
};

} // namespace vellamor
