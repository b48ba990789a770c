#include "History/HistoryRecord.h"

#include "Support/UuidText.h"

#include <utility>

namespace vellamor {

HistoryRecord::HistoryRecord(QUuid id, QString text, std::optional<QString> recognizedText,
                             std::optional<QString> polishedText, std::optional<QString> sourceApp, Date createdAt,
                             std::optional<Date> updatedAt, std::optional<Date> deletedAt, bool synced,
                             std::optional<qint64> serverId)
    : id(id)
    , text(std::move(text))
    , recognizedText(recognizedText ? std::move(*recognizedText) : this->text)
    , polishedText(polishedText && !polishedText->isEmpty() ? std::move(polishedText) : std::nullopt)
    , sourceApp(std::move(sourceApp))
    , createdAt(createdAt)
    , updatedAt(updatedAt.value_or(createdAt))
    , deletedAt(deletedAt)
    , synced(synced)
    , serverId(serverId)
{
}

QString HistoryRecord::clientID() const
{
    return uuidString(id);
}

} // namespace vellamor
