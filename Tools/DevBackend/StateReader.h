#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vellamor::devbackend
{

// Reads a saved state part back and remembers whether every member had the
// type it was saved with: a part refuses an object that did not.
class StateReader
{
public:
    QString text(const QJsonObject& object, const QString& key);
    qint64 integer(const QJsonObject& object, const QString& key);
    std::optional<qint64> optionalInteger(const QJsonObject& object, const QString& key);
    QDateTime time(const QJsonObject& object, const QString& key);
    std::optional<QDateTime> optionalTime(const QJsonObject& object, const QString& key);
    bool boolean(const QJsonObject& object, const QString& key);
    QJsonArray array(const QJsonObject& object, const QString& key);
    // Every element of `array` that is an object; any other element fails.
    QList<QJsonObject> objects(const QJsonArray& array);

    bool ok() const { return ok_; }

    static QString timeText(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

private:
    bool ok_ = true;
};

} // namespace vellamor::devbackend
