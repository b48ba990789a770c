#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <limits>
#include <optional>

namespace vellamor::devbackend
{

// Reads a saved state part back and remembers whether every member had the
// type it was saved with, and whether the part can go on from it: no member
// lost to another with the same key, no counter that would give a value
// again or overflow on its next step. A part refuses an object that fails.
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
    // The counter at `key` that gives out ids (`first` when absent): above
    // `highestGiven`, the highest id it gave, and below the top of the range.
    qint64 nextId(const QJsonObject& object, const QString& key, qint64 first, qint64 highestGiven);
    // The counter at `key` that holds the last value it gave out (a version,
    // an update time, a sequence number): at least `highestGiven`, and below
    // the top of the range.
    qint64 lastGiven(const QJsonObject& object, const QString& key, qint64 highestGiven);
    // Fails when `hash` already holds `key`: one of the two would be lost.
    template<typename Value>
    void insertOnce(QHash<QString, Value>& hash, const QString& key, const Value& value)
    {
        ok_ = ok_ && !hash.contains(key);
        hash.insert(key, value);
    }

    // Fails when `seen` already holds `id` (a number, a token): a change to
    // the one would leave the other.
    template<typename Id>
    void idOnce(QSet<Id>& seen, const Id& id)
    {
        ok_ = ok_ && !seen.contains(id);
        seen.insert(id);
    }

    bool ok() const { return ok_; }

    static QString timeText(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

    // For the highest value given out when none was.
    static constexpr qint64 noneGiven = std::numeric_limits<qint64>::min();

private:
    bool ok_ = true;
};

} // namespace vellamor::devbackend
