#pragma once

#include "Support/Date.h"

#include <QString>
#include <QUuid>

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

    friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

} // namespace vellamor
