#pragma once

#include "Support/Date.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace vellamor {

// One dictation kept in the local history: the inserted text, the recognised
// and polished texts it came from, where it went, and the sync bookkeeping.
struct HistoryRecord {
    // Stores the values unchanged except that an absent `recognizedText`
    // becomes `text`, an empty `polishedText` becomes absent and an absent
    // `updatedAt` becomes `createdAt`.
    HistoryRecord(QUuid id, QString text, std::optional<QString> recognizedText, std::optional<QString> polishedText,
                  std::optional<QString> sourceApp, Date createdAt, std::optional<Date> updatedAt,
                  std::optional<Date> deletedAt, bool synced, std::optional<qint64> serverId);

    QUuid id;
    QString text;
    QString recognizedText;
    std::optional<QString> polishedText; // never an empty string
    std::optional<QString> sourceApp;
    Date createdAt;
    Date updatedAt;
    std::optional<Date> deletedAt;
    bool synced;
    std::optional<qint64> serverId;

    // The upper-case text form of `id`, the record's key in the cloud.
    QString clientID() const;

    // The record has no date form of its own: whoever writes or reads whole
    // records says how a date looks in JSON. A decoder throws JsonError at
    // `path` when the value does not have its form.
    using DateEncoder = std::function<QJsonValue(Date)>;
    using DateDecoder = std::function<Date(const QJsonValue& value, const QString& path)>;

    // Keys are the field names; an absent optional is left out, never null.
    QJsonObject toJson(const DateEncoder& encodeDate) const;
    // Lenient, so that older and partial files still load: only "text" is
    // required. A missing (or null) key takes the initialiser's default, a
    // missing "id" a new random UUID and a missing "createdAt" the time of
    // decoding. A value of the wrong type fails the whole record with
    // JsonError; keys not named here are ignored.
    static HistoryRecord fromJson(const QJsonValue& value, const QString& path, const DateDecoder& decodeDate);

    friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

} // namespace vellamor
