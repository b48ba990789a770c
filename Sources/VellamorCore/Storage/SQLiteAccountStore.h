#pragma once

#include "Support/Date.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;

namespace vellamor {

// One account's SQLite database, `<base>/accounts/<account>.db`: the table
// `history` and the sync bookkeeping in `sync_state`. It knows rows, not
// records: each row is a record's id, its times and sync state in clear, and
// an opaque payload. Every failure is thrown (SQLiteAccountStoreError,
// FileSystemError for the folder); nothing is logged here.
//
// No lock of its own: the connection is opened in SQLite's serialised mode,
// and the owning history store makes one call at a time.
class SQLiteAccountStore final {
public:
    struct RawRow {
        // An absent `updatedAt` becomes `createdAt`.
        RawRow(QString id, Date createdAt, std::optional<Date> updatedAt, std::optional<Date> deletedAt, bool synced,
               std::optional<qint64> serverId, QByteArray payload);

        QString id; // the record's UUID, upper case
        Date createdAt;
        Date updatedAt;
        std::optional<Date> deletedAt; // set: a tombstone
        bool synced;
        std::optional<qint64> serverId;
        QByteArray payload;

        friend bool operator==(const RawRow&, const RawRow&) = default;
    };

    // Opens or creates the file, applies the schema and brings an older file
    // up to date. `baseDirectory` none: defaultBaseDirectory(). A file that
    // is not a database or is damaged, with its WAL and shared-memory files,
    // is moved aside under a dated name (setAsidePath()) and a fresh one
    // begins; the cloud holds what sync brings back.
    explicit SQLiteAccountStore(QString account, std::optional<QString> baseDirectory = std::nullopt);
    ~SQLiteAccountStore();
    SQLiteAccountStore(const SQLiteAccountStore&) = delete;
    SQLiteAccountStore& operator=(const SQLiteAccountStore&) = delete;

    // The application support folder (AppPaths), or "vellamor" in the
    // temporary folder when there is none. The key store and the legacy
    // import look for their files below it as well.
    static QString defaultBaseDirectory();

    const QString& account() const { return account_; }
    const QString& dbURL() const { return dbURL_; }
    // Where a damaged file found on opening was moved.
    const std::optional<QString>& setAsidePath() const { return setAsidePath_; }

    // Inserts the row, or replaces every other column of the row with its id
    // (a tombstone written back without `deletedAt` is live again).
    void upsert(const RawRow& row);
    // Idempotent. Every later operation throws prepareFailed("no db").
    void close();

    // Live rows (tombstones are never listed or counted), newest first.
    QList<RawRow> all();
    // A page of all(); a negative limit or offset counts as 0.
    QList<RawRow> list(qint64 limit, qint64 offset);
    // Live rows not yet synced, oldest first.
    QList<RawRow> unsynced();
    // Deletes the oldest live rows beyond `keepLatest`.
    void evictOldest(qint64 keepLatest);
    // Live or tombstone.
    void deleteRow(const QString& id);
    void clear();
    void markSynced(const QString& id, std::optional<qint64> serverId);
    void markSyncedWithUpdatedAt(const QString& id, std::optional<qint64> serverId, Date updatedAt);
    // None also when the query fails.
    std::optional<RawRow> find(const QString& id);
    // Sets both `deletedAt` and `updatedAt`.
    void softDelete(const QString& id, Date deletedAt);
    void deleteByServerID(qint64 serverId);
    // Synced tombstones, oldest deletion first.
    QList<RawRow> pendingDeletes();
    // Over all rows, tombstones included; none for an empty table.
    std::optional<Date> latestUpdatedAt();
    qint64 count();
    // None when there is no such row, it has no server id or the query fails.
    std::optional<qint64> findServerID(const QString& clientID);

    // Where the next pull of the cloud history starts, in microseconds; none
    // until a pull stored one. Kept in the table `sync_state`, beside the
    // history, so that it belongs to the account's file.
    std::optional<qint64> pullCursor();
    void setPullCursor(qint64 micros);

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };

    void openFile();
    bool hasForeignHeader() const;
    bool isDamaged();
    void setDamagedFileAside();
    void applySchema();
    void migrate();
    bool hasColumn(const QString& table, const QString& column);
    QList<RawRow> query(const QString& sql);

    QString account_;
    QString dbURL_;
    std::optional<QString> setAsidePath_;
    std::unique_ptr<sqlite3, Closer> db_;
};

} // namespace vellamor
