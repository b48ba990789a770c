#pragma once

#include "DataSync/AppendHistoryResult.h"
#include "DataSync/DataSyncConnection.h"
#include "DataSync/DictEntry.h"
#include "DataSync/HistoryItem.h"
#include "DataSync/HistorySyncSinceResponse.h"
#include "DataSync/SyncByVersionResponse.h"
#include "Support/Date.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

#include <optional>
#include <stop_token>

namespace vellamor {

// The cloud history and personal dictionary, as the history sync engine,
// the dictionary window and the settings pages reach them.
class DataSyncAPIProtocol {
public:
    virtual ~DataSyncAPIProtocol() = default;

    virtual QCoro::Task<QList<HistoryItem>> listHistory(int limit) = 0;
    virtual QCoro::Task<void> deleteHistory(qint64 id) = 0;
    virtual QCoro::Task<HistorySyncResponse> syncHistory(qint64 sinceVersion, std::optional<int> limit) = 0;
    virtual QCoro::Task<QList<DictEntry>> listDictionary() = 0;
    // The dictionary as this computer last kept it, read at once without a
    // call: what to show while listDictionary() is out.
    virtual QList<DictEntry> cachedDictionary() const = 0;
    virtual QCoro::Task<DictEntry> upsertDictEntry(std::optional<qint64> id, QString term, QString replacement,
                                                   QString note)
        = 0;
    virtual QCoro::Task<void> deleteDictEntry(qint64 id) = 0;
    virtual QCoro::Task<DictionarySyncResponse> syncDictionary(qint64 sinceVersion, std::optional<int> limit) = 0;
    virtual DataSyncConnection currentConnection() const = 0;

    // The sync engine's calls: every failure reaches the caller, and a stop
    // request ends the request with CancellationError.
    virtual QCoro::Task<AppendHistoryResult>
    appendHistory(QString clientID, QString text, QString recognizedText, std::optional<QString> polishedText,
                  std::optional<QString> sourceApp, Date createdAt, std::stop_token stop = {})
        = 0;
    virtual QCoro::Task<HistorySyncSinceResponse> syncHistorySince(qint64 sinceUpdatedAtMicros,
                                                                   std::optional<int> limit, std::stop_token stop = {})
        = 0;
    // deleteHistory without the local fallback: the engine must keep its
    // tombstone until the cloud has really dropped the record.
    virtual QCoro::Task<void> deleteHistoryRemotely(qint64 id, std::stop_token stop = {}) = 0;
};

} // namespace vellamor
