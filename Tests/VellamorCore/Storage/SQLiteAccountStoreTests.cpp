#include "QtPrinters.h"
#include "Storage/SQLiteAccountStore.h"
#include "Storage/SQLiteAccountStoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using vellamor::Date;
using vellamor::SQLiteAccountStore;
using vellamor::SQLiteAccountStoreError;
using RawRow = SQLiteAccountStore::RawRow;

namespace {

using Texts = std::vector<std::string>;

// A second connection to the account file, for what the store must not be
// trusted to report about itself.
class RawDatabase {
public:
    explicit RawDatabase(const QString& path) { sqlite3_open(QFile::encodeName(path).constData(), &db_); }
    ~RawDatabase() { sqlite3_close(db_); }

    void exec(const char* sql) { ASSERT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

    // Column `column` of every row, as text.
    Texts strings(const char* sql, int column = 0)
    {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
        Texts values;
        while (sqlite3_step(statement) == SQLITE_ROW)
            values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
        sqlite3_finalize(statement);
        return values;
    }

private:
    sqlite3* db_ = nullptr;
};

const Texts kVersionTwoColumns {"id", "created_at", "synced", "server_id", "payload", "updated_at", "deleted_at"};
const Texts kVersionTwoIndexes {"idx_history_created_at", "idx_history_deleted_at", "idx_history_live_created_at",
                                "idx_history_synced", "idx_history_updated_at"};

RawRow live(const char* id, double created, bool synced = false, std::optional<qint64> serverId = std::nullopt)
{
    return RawRow(QString::fromLatin1(id), Date(created), std::nullopt, std::nullopt, synced, serverId,
                  QByteArray("sealed"));
}

RawRow tombstone(const char* id, double created, double deleted, bool synced, std::optional<qint64> serverId)
{
    return RawRow(QString::fromLatin1(id), Date(created), Date(deleted), Date(deleted), synced, serverId,
                  QByteArray("sealed"));
}

Texts idsOf(const QList<RawRow>& rows)
{
    Texts ids;
    for (const RawRow& row : rows)
        ids.push_back(row.id.toStdString());
    return ids;
}

class SQLiteAccountStoreTest : public ::testing::Test {
protected:
    QString databasePath(const char* account) const
    {
        return base.path() + QStringLiteral("/accounts/") + QString::fromLatin1(account) + QStringLiteral(".db");
    }

    // a, b, c live at 1, 2, 3 (b synced); t1 and t2 synced tombstones deleted
    // at 9 and 8; t3 an unsynced tombstone. t1 was updated last of all.
    std::unique_ptr<SQLiteAccountStore> seeded(const char* account)
    {
        auto store = std::make_unique<SQLiteAccountStore>(QString::fromLatin1(account), base.path());
        for (const RawRow& row : {live("a", 1), live("b", 2, true, 20), live("c", 3), tombstone("t1", 0.5, 9, true, 30),
                                  tombstone("t2", 4, 8, true, 40), tombstone("t3", 5, 7, false, std::nullopt)})
            store->upsert(row);
        return store;
    }

    QTemporaryDir base;
};

TEST_F(SQLiteAccountStoreTest, VersionOneFileIsMigratedOnOpenAndReopeningChangesNothing)
{
    ASSERT_TRUE(QDir().mkpath(base.path() + QStringLiteral("/accounts")));
    {
        RawDatabase v1(databasePath("old"));
        v1.exec("CREATE TABLE history (id TEXT PRIMARY KEY, created_at REAL NOT NULL, "
                "synced INTEGER NOT NULL DEFAULT 0, server_id INTEGER, payload BLOB NOT NULL);"
                "CREATE INDEX idx_history_created_at ON history(created_at DESC);"
                "CREATE INDEX idx_history_synced ON history(synced);"
                "INSERT INTO history VALUES ('x', 10.5, 1, 7, x'01'), ('y', 20.25, 0, NULL, x'02');");
    }
    SQLiteAccountStore(QStringLiteral("old"), base.path()).close();
    SQLiteAccountStore(QStringLiteral("new"), base.path()).close();

    for (const char* account : {"old", "new"}) {
        SCOPED_TRACE(account);
        RawDatabase file(databasePath(account));
        EXPECT_EQ(file.strings("PRAGMA table_info(history)", 1), kVersionTwoColumns);
        EXPECT_EQ(file.strings("SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'idx_%' ORDER BY name"),
                  kVersionTwoIndexes);
    }
    RawDatabase file(databasePath("old"));
    EXPECT_EQ(file.strings("SELECT updated_at FROM history ORDER BY id"), Texts({"10.5", "20.25"}));
    EXPECT_EQ(file.strings("SELECT COUNT(*) FROM history WHERE deleted_at IS NULL"), Texts({"2"}));

    // The back-fill belongs to adding the column: a NULL written later stays,
    // and reads back as the creation time.
    file.exec("UPDATE history SET updated_at = NULL WHERE id = 'x'");
    SQLiteAccountStore reopened(QStringLiteral("old"), base.path());
    EXPECT_EQ(file.strings("SELECT COUNT(*) FROM history WHERE updated_at IS NULL"), Texts({"1"}));
    EXPECT_EQ(reopened.find(QStringLiteral("x")),
              RawRow(QStringLiteral("x"), Date(10.5), std::nullopt, std::nullopt, true, 7, QByteArray("\x01")));

    // An older file has no pull cursor until the first pull stores one.
    EXPECT_EQ(reopened.pullCursor(), std::nullopt);
    reopened.setPullCursor(42);
    reopened.setPullCursor(1772352000000001);
    EXPECT_EQ(SQLiteAccountStore(QStringLiteral("old"), base.path()).pullCursor(), 1772352000000001);
}

// Without statistics, as on every user's machine: the live rows' lists walk
// one index in order and sort nothing, on a new file and on a migrated one.
TEST_F(SQLiteAccountStoreTest, LiveRowListsReadOneIndexInOrderWithoutStatistics)
{
    ASSERT_TRUE(QDir().mkpath(base.path() + QStringLiteral("/accounts")));
    RawDatabase(databasePath("old"))
        .exec("CREATE TABLE history (id TEXT PRIMARY KEY, created_at REAL NOT NULL, synced INTEGER NOT NULL DEFAULT 0, "
              "server_id INTEGER, payload BLOB NOT NULL, updated_at REAL, deleted_at REAL);"
              "CREATE INDEX idx_history_created_at ON history(created_at DESC);"
              "CREATE INDEX idx_history_synced ON history(synced);"
              "CREATE INDEX idx_history_updated_at ON history(updated_at);"
              "CREATE INDEX idx_history_deleted_at ON history(deleted_at);");
    const char* const queries[] {
        "SELECT id FROM history WHERE deleted_at IS NULL ORDER BY created_at DESC LIMIT 500 OFFSET 0",
        "SELECT id FROM history WHERE synced = 0 AND deleted_at IS NULL ORDER BY created_at ASC",
        "SELECT id FROM history WHERE deleted_at IS NULL ORDER BY created_at ASC LIMIT 2",
    };
    for (const char* account : {"old", "new"}) {
        SQLiteAccountStore(QString::fromLatin1(account), base.path()).close();
        RawDatabase file(databasePath(account));
        for (const char* query : queries) {
            SCOPED_TRACE(std::string(account) + ": " + query);
            const Texts plan = file.strings((std::string("EXPLAIN QUERY PLAN ") + query).c_str(), 3);
            ASSERT_EQ(plan.size(), 1u);
            EXPECT_EQ(plan[0], "SEARCH history USING INDEX idx_history_live_created_at (deleted_at=?)");
        }
    }
}

TEST_F(SQLiteAccountStoreTest, RowsReadBackAsWrittenAndAnUpsertReplacesEveryColumn)
{
    SQLiteAccountStore store(QStringLiteral("u"), base.path());
    const std::array rows {
        RawRow(QStringLiteral("sub-second"), Date(1'700'000'000.123456), Date(1'700'000'001.5), std::nullopt, false,
               std::nullopt, QByteArray("\x00\xff payload", 10)),
        RawRow(QStringLiteral("empty payload"), Date(-0.25), std::nullopt, Date(3.75), true, 9'007'199'254'740'993,
               QByteArray()),
        // Written back without its deletion time, the tombstone above is live again.
        RawRow(QStringLiteral("empty payload"), Date(1.5), Date(2.5), std::nullopt, false, std::nullopt,
               QByteArray("new")),
    };
    for (const RawRow& row : rows) {
        SCOPED_TRACE(row.id.toStdString());
        store.upsert(row);
        EXPECT_EQ(store.find(row.id), row);
    }
    EXPECT_EQ(idsOf(store.all()), Texts({"sub-second", "empty payload"}));
}

TEST_F(SQLiteAccountStoreTest, QueriesSelectAndOrderLiveRowsAndTombstones)
{
    const auto store = seeded("u");
    EXPECT_EQ(idsOf(store->all()), Texts({"c", "b", "a"}));
    EXPECT_EQ(idsOf(store->list(2, 0)), Texts({"c", "b"}));
    EXPECT_EQ(idsOf(store->list(2, 1)), Texts({"b", "a"}));
    EXPECT_EQ(idsOf(store->list(-5, -1)), Texts());
    EXPECT_EQ(idsOf(store->list(10, 3)), Texts());
    EXPECT_EQ(idsOf(store->unsynced()), Texts({"a", "c"}));
    EXPECT_EQ(idsOf(store->pendingDeletes()), Texts({"t2", "t1"}));
    EXPECT_EQ(store->count(), 3);
    EXPECT_EQ(store->latestUpdatedAt(), Date(9));
    EXPECT_EQ(store->findServerID(QStringLiteral("b")), 20);
    EXPECT_EQ(store->findServerID(QStringLiteral("a")), std::nullopt);
    store->clear();
    EXPECT_EQ(store->latestUpdatedAt(), std::nullopt);
    EXPECT_EQ(store->find(QStringLiteral("t1")), std::nullopt);
}

TEST_F(SQLiteAccountStoreTest, WritesChangeOnlyTheirRow)
{
    struct Case {
        const char* name;
        std::function<void(SQLiteAccountStore&)> run;
        const char* id;
        std::optional<RawRow> expected;
    };
    const std::array cases {
        Case {"markSynced", [](auto& s) { s.markSynced(QStringLiteral("a"), 7); }, "a", live("a", 1, true, 7)},
        Case {"markSynced without id", [](auto& s) { s.markSynced(QStringLiteral("b"), std::nullopt); }, "b",
              live("b", 2, true)},
        Case {"markSyncedWithUpdatedAt",
              [](auto& s) { s.markSyncedWithUpdatedAt(QStringLiteral("a"), 7, Date(50.5)); }, "a",
              RawRow(QStringLiteral("a"), Date(1), Date(50.5), std::nullopt, true, 7, QByteArray("sealed"))},
        Case {"softDelete", [](auto& s) { s.softDelete(QStringLiteral("b"), Date(60.25)); }, "b",
              tombstone("b", 2, 60.25, true, 20)},
        Case {"deleteRow of a tombstone", [](auto& s) { s.deleteRow(QStringLiteral("t1")); }, "t1", std::nullopt},
        Case {"deleteByServerID", [](auto& s) { s.deleteByServerID(20); }, "b", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto store = seeded(c.name);
        c.run(*store);
        EXPECT_EQ(store->find(QString::fromLatin1(c.id)), c.expected);
        EXPECT_EQ(store->find(QStringLiteral("c")), live("c", 3));
    }
}

TEST_F(SQLiteAccountStoreTest, EvictionRemovesOnlyTheOldestLiveRows)
{
    SQLiteAccountStore store(QStringLiteral("u"), base.path());
    // Tombstones older than every live row must be neither counted nor evicted.
    for (int i = 0; i < 10; ++i)
        store.upsert(tombstone(qPrintable(QStringLiteral("t%1").arg(i)), i, 1000, true, i));
    for (int i = 0; i < 502; ++i)
        store.upsert(live(qPrintable(QStringLiteral("l%1").arg(i)), 100 + i));

    store.evictOldest(500);
    store.evictOldest(500);

    EXPECT_EQ(store.count(), 500);
    EXPECT_EQ(store.find(QStringLiteral("l0")), std::nullopt);
    EXPECT_EQ(store.find(QStringLiteral("l1")), std::nullopt);
    EXPECT_EQ(store.all().last().id, QStringLiteral("l2"));
    EXPECT_EQ(store.pendingDeletes().size(), 10);
}

TEST_F(SQLiteAccountStoreTest, AClosedStoreFailsEveryOperationWithNoDb)
{
    const auto store = seeded("u");
    store->close();
    store->close();
    // One of each way a statement runs: a write, a list, a single row.
    const std::array<std::function<void()>, 3> operations {[&] { store->upsert(live("a", 1)); },
                                                           [&] { store->all(); },
                                                           [&] { store->find(QStringLiteral("a")); }};
    for (std::size_t i = 0; i < operations.size(); ++i) {
        SCOPED_TRACE(i);
        try {
            operations[i]();
            ADD_FAILURE() << "no error";
        } catch (const SQLiteAccountStoreError& error) {
            EXPECT_EQ(error.debugDescription(), QStringLiteral("prepareFailed(\"no db\")"));
        }
    }
}

TEST_F(SQLiteAccountStoreTest, AWriteWaitsForAnotherConnectionsLockInsteadOfFailing)
{
    SQLiteAccountStore store(QStringLiteral("u"), base.path());
    RawDatabase other(databasePath("u"));
    other.exec("BEGIN IMMEDIATE; INSERT INTO history (id, created_at, payload) VALUES ('other', 1, x'00');");
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.exec("COMMIT;");
    });

    EXPECT_NO_THROW(store.upsert(live("mine", 2)));
    committer.join();
    EXPECT_EQ(store.count(), 2);
}

} // namespace

namespace {

// A damaged file is moved aside with its WAL file, untouched; a fresh one begins.
TEST_F(SQLiteAccountStoreTest, ADamagedFileIsMovedAsideAndAFreshOneBegins)
{
    seeded("7").reset();
    const QString path = databasePath("7");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.write(QByteArray(100, 'X')) == 100); // the header
    file.close();
    QFile wal(path + QStringLiteral("-wal"));
    ASSERT_TRUE(wal.open(QIODevice::WriteOnly) && wal.write("stale") == 5);
    wal.close();

    const qint64 size = QFileInfo(path).size();
    SQLiteAccountStore reopened(QStringLiteral("7"), base.path());
    const QString aside = reopened.setAsidePath().value_or(QString());
    EXPECT_TRUE(aside.startsWith(path + QStringLiteral(".damaged-")));
    EXPECT_EQ(QFileInfo(aside).size(), size);
    EXPECT_EQ(QFileInfo(aside + QStringLiteral("-wal")).size(), 5);
    reopened.upsert(live("n", 10));
    EXPECT_EQ(idsOf(reopened.all()), Texts{"n"});
}

} // namespace
