#pragma once

#include "History/HistoryChangeBroadcaster.h"
#include "History/HistoryRecord.h"
#include "History/HistorySink.h"
#include "Logging/VellamorLog.h"
#include "Storage/SQLiteAccountStore.h"
#include "Support/Async/SerialWorker.h"
#include "Support/Date.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace vellamor {

class DBKeyStore;
struct RemoteHistoryItem;

// The history of one account, or of the signed-out user, as the rest of the
// system sees it: records kept in the account's SQLite file with their texts
// sealed under the account's key, at most the 500 newest live ones. Local
// deletions of records the cloud knows become tombstones until the cloud
// confirms them; records pulled from the cloud are merged in. Every change
// is announced through the shared broadcaster.
//
// Storage failures never reach the callers: an operation that fails logs one
// warning (its prefix and the error's log form) and returns its empty
// result. A store whose file or key could not be opened stays that way for
// its life and answers as an empty history; of its operations only append()
// says so in the log.
//
// Called on the main thread. The file work (sealing, SQLite, opening rows)
// runs on the store's own worker thread, one operation at a time in the
// order they were called, so each operation sees what every earlier one did
// (a list made right after an append holds the record). An operation's
// event is published on the main thread after its work reached the file and
// before the operation returns; subscribers run on a later turn of the
// event loop. Destroying the store first finishes every operation already
// called.
class LocalHistoryStore : public HistorySink {
public:
    // Live records kept; older ones are evicted by creation time.
    static constexpr qint64 maxRecords = 500;

    // A synced tombstone waiting for the cloud to delete its record.
    struct PendingDelete {
        qint64 serverID;
        Date deletedAt;

        friend bool operator==(const PendingDelete&, const PendingDelete&) = default;
    };

    // Opens (or creates) the account's database and loads (or creates) its
    // key, synchronously on the calling thread. A failure of either is
    // logged; the key is loaded even when the database did not open.
    // `keyStore` none: the default service under `baseDirectory`.
    LocalHistoryStore(QString account, std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                      std::optional<QString> baseDirectory = std::nullopt,
                      std::shared_ptr<DBKeyStore> keyStore = nullptr, VellamorLog log = defaultLog());
    ~LocalHistoryStore() override;
    LocalHistoryStore(const LocalHistoryStore&) = delete;
    LocalHistoryStore& operator=(const LocalHistoryStore&) = delete;

    // Each call opens a new connection to the file.
    // An empty user id is the signed-out user.
    static std::shared_ptr<LocalHistoryStore> forUser(const QString& userID,
                                                      std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                                      std::optional<QString> baseDirectory = std::nullopt);
    static std::shared_ptr<LocalHistoryStore> anonymous(std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                                        std::optional<QString> baseDirectory = std::nullopt);
    static std::shared_ptr<LocalHistoryStore> defaultStore(std::shared_ptr<HistoryChangeBroadcaster> broadcaster);

    // Subsystem "com.vellamor.app", category "local-history-store".
    static VellamorLog defaultLog();

    // "anonymous" or the hash of the user id.
    const QString& account() const { return account_; }
    // Where this store announces its changes; none when it announces nothing.
    const std::shared_ptr<HistoryChangeBroadcaster>& broadcaster() const { return broadcaster_; }

    // Imports the legacy JSON history into a signed-in account, once per
    // machine. It looks in the default base folder whatever this store's
    // folder is. Imported records keep their synced flag and are neither
    // announced nor evicted.
    QCoro::Task<void> migrateLegacyJSONIfNeeded();
    // Closes the connection once the operations called before it are done;
    // later operations fail with "no db" warnings.
    QCoro::Task<void> close();

    // Live records, newest first. Rows that cannot be opened or decoded
    // (another key, damaged bytes) are left out silently and stay in the file.
    QCoro::Task<QList<HistoryRecord>> all();
    QCoro::Task<QList<HistoryRecord>> list(qint64 limit, qint64 offset);
    // Live records not yet synced, oldest first.
    QCoro::Task<QList<HistoryRecord>> unsynced();

    // Writes the record (replacing one with its id, its synced flag and
    // server id as given), then evicts beyond maxRecords, the record itself
    // included when it is among the oldest. Announced exactly as given when
    // both succeeded. Returns the record in every case.
    QCoro::Task<HistoryRecord> append(HistoryRecord record) override;
    // Removes the row, live or tombstone.
    QCoro::Task<void> deleteRecord(QUuid id);
    QCoro::Task<void> clear();
    // Server id none: the column is cleared.
    QCoro::Task<void> markSynced(QUuid id, std::optional<qint64> serverId);
    QCoro::Task<void> markSynced(QUuid localID, qint64 serverID, Date updatedAt);
    // A synced record becomes a tombstone at the current time, an unsynced
    // one is removed at once. False when there was no such record or it failed.
    QCoro::Task<bool> softDelete(QUuid id);
    QCoro::Task<void> removeByServerID(qint64 serverID);
    // The same records as unsynced().
    QCoro::Task<QList<HistoryRecord>> pendingUploads();
    // Synced tombstones that carry a server id, oldest deletion first.
    QCoro::Task<QList<PendingDelete>> pendingDeletes();
    // Over every row, tombstones included.
    QCoro::Task<std::optional<Date>> latestUpdatedAt();
    // Whether the record is here, live and not yet synced: only such a
    // record is this account's to upload.
    QCoro::Task<bool> awaitsUpload(QUuid id);
    // Where the next pull of the cloud history starts, in microseconds: what
    // the last complete pull reached, 0 before any or when it cannot be read.
    QCoro::Task<qint64> pullCursor();
    QCoro::Task<void> setPullCursor(qint64 micros);
    // Each item on its own, in order, without eviction afterwards: a deleted
    // item removes the rows of its server id unannounced; a live one replaces
    // whatever the local row holds, as synced, and is announced.
    QCoro::Task<void> mergeFromRemote(QList<RemoteHistoryItem> items);
    // Ends when every operation called before it has reached the file.
    QCoro::Task<void> flush();

private:
    SQLiteAccountStore::RawRow encodeRow(const HistoryRecord& record) const;
    // None for a row that cannot be read back; never throws.
    std::optional<HistoryRecord> decodeRow(const SQLiteAccountStore::RawRow& row) const;
    // Runs `operation` when there is a database; a failure is logged after
    // `failurePrefix`. True when it ran to its end.
    template<typename Operation>
    bool attempt(const QString& failurePrefix, Operation operation) const;
    // The records of the rows `query` gives that can be read back.
    template<typename Query>
    QList<HistoryRecord> records(const QString& failurePrefix, Query query) const;
    static QUuid resolveLocalID(const RemoteHistoryItem& item);

    QString account_;
    // Set in the constructor only; what they point to is the worker's.
    std::unique_ptr<SQLiteAccountStore> store_;
    std::optional<QByteArray> key_;
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster_;
    VellamorLog log_;
    // Last: destroyed first, it finishes its jobs while the file is still here.
    SerialWorker worker_;
};

} // namespace vellamor
