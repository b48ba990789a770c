#include "DataSync/RemoteHistoryItem.h"
#include "HistoryLogFixture.h"
#include "History/LocalHistoryStore.h"
#include "QtPrinters.h"
#include "Storage/DBKeyStore.h"
#include "Support/Async/RunBlocking.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;
using Records = QList<HistoryRecord>;
using Events = std::vector<HistoryChangeEvent>;

namespace {

HistoryRecord record(double created, bool synced = false, std::optional<qint64> serverId = std::nullopt)
{
    return HistoryRecord(QUuid::createUuid(), QStringLiteral("text %1").arg(created), std::nullopt, std::nullopt,
                         std::nullopt, Date(created), std::nullopt, std::nullopt, synced, serverId);
}

class LocalHistoryStoreTest : public test::HistoryLogFixture {
protected:
    std::shared_ptr<LocalHistoryStore> open(std::optional<QString> directory = std::nullopt,
                                            std::shared_ptr<DBKeyStore> keyStore = nullptr)
    {
        return std::make_shared<LocalHistoryStore>(QStringLiteral("u1"), broadcaster, directory.value_or(base.path()), keyStore,
                                                   log(QStringLiteral("local-history-store")));
    }

    // Everything published so far, in order.
    Events published()
    {
        const auto end = HistoryChangeEvent::deleted(QUuid::createUuid());
        broadcaster->publish(end);
        Events received;
        for (auto event = runBlocking(events.next()); event != end; event = runBlocking(events.next()))
            received.push_back(event.value());
        return received;
    }

    std::shared_ptr<HistoryChangeBroadcaster> broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    HistoryChangeStream events = broadcaster->subscribe();
};

} // namespace

TEST_F(LocalHistoryStoreTest, AppendStoresAnnouncesAndReturnsTheRecordAsGiven)
{
    const auto store = open();
    const HistoryRecord given(QUuid::createUuid(), QStringLiteral("inserted"), QStringLiteral("recognised"),
                              QStringLiteral("polished"), QStringLiteral("org.gnome.TextEditor"), Date(1000.5),
                              Date(1001.25), std::nullopt, true, 7);
    EXPECT_EQ(runBlocking(store->append(given)), given);
    EXPECT_EQ(published(), Events {HistoryChangeEvent::appended(given)});
    EXPECT_EQ(runBlocking(store->list(500, 0)), Records {given});

    // Rows sealed under another key are left out silently and stay in the file.
    QFile keyFile(base.path() + QStringLiteral("/keys/u1.key"));
    ASSERT_TRUE(keyFile.open(QIODevice::WriteOnly) && keyFile.write(QByteArray(32, 'x')) == 32);
    keyFile.close();
    const HistoryRecord fresh = runBlocking(open()->append(record(2)));
    EXPECT_EQ(runBlocking(open()->all()), Records {fresh});
    EXPECT_EQ(runBlocking(store->all()), Records {given});
    EXPECT_TRUE(logged().isEmpty());
}

TEST_F(LocalHistoryStoreTest, KeepsThe500NewestYetAnnouncesEveryAppend)
{
    const auto store = open();
    for (int created = 1; created <= 500; ++created)
        runBlocking(store->append(record(created)));
    const HistoryRecord older = record(0.5);
    const HistoryRecord newest = record(501);
    runBlocking(store->append(older));
    runBlocking(store->append(newest));

    const Records kept = runBlocking(store->all());
    ASSERT_EQ(kept.size(), LocalHistoryStore::maxRecords);
    EXPECT_EQ(kept.front(), newest);
    EXPECT_EQ(kept.back().createdAt, Date(2));
    const Events events = published();
    ASSERT_EQ(events.size(), 502u);
    EXPECT_EQ(events[500], HistoryChangeEvent::appended(older));
}

TEST_F(LocalHistoryStoreTest, AStoreThatCannotWriteSaysWhyAndAnnouncesNothing)
{
    const auto closed = open();
    runBlocking(closed->close());
    const QString blocked = base.path() + QStringLiteral("/blocked");
    QFile(blocked).open(QIODevice::WriteOnly);
    const auto unopened = open(blocked, std::make_shared<DBKeyStore>(DBKeyStore::service(), base.path()));
    for (const auto& store : {closed, unopened}) {
        const HistoryRecord given = record(1);
        EXPECT_EQ(runBlocking(store->append(given)), given);
        EXPECT_TRUE(runBlocking(store->all()).isEmpty());
    }
    EXPECT_EQ(logged(),
              (QStringList {QStringLiteral("warn db open failed: createFolderFailed(\"%1/accounts: Not a directory\"); "
                                           "account=u1")
                                .arg(blocked),
                            QStringLiteral("warn append failed: prepareFailed(\"no db\")"),
                            QStringLiteral("warn all() failed: prepareFailed(\"no db\")"),
                            QStringLiteral("warn append ignored: no store/key")}));
    EXPECT_TRUE(published().empty());
}

TEST_F(LocalHistoryStoreTest, PendingUploadsAndDeletesFollowSyncAndDeletion)
{
    const auto store = open();
    const HistoryRecord unsynced = record(1);
    const HistoryRecord synced = record(2, true, 7);
    const HistoryRecord syncedWithoutServerId = record(3, true);
    const HistoryRecord later = record(4);
    for (const auto& given : {unsynced, synced, syncedWithoutServerId, later})
        runBlocking(store->append(given));
    EXPECT_EQ(runBlocking(store->pendingUploads()), (Records {unsynced, later}));
    published();

    for (const auto& given : {unsynced, synced, syncedWithoutServerId})
        EXPECT_TRUE(runBlocking(store->softDelete(given.id)));
    EXPECT_FALSE(runBlocking(store->softDelete(unsynced.id)));
    EXPECT_EQ(published(), (Events {HistoryChangeEvent::deleted(unsynced.id), HistoryChangeEvent::deleted(synced.id),
                                    HistoryChangeEvent::deleted(syncedWithoutServerId.id)}));
    EXPECT_EQ(runBlocking(store->all()), Records {later});
    const auto deletes = runBlocking(store->pendingDeletes());
    ASSERT_EQ(deletes.size(), 1);
    EXPECT_EQ(deletes[0].serverID, 7);

    runBlocking(store->markSynced(later.id, 9, Date(5)));
    runBlocking(store->removeByServerID(7));
    EXPECT_TRUE(runBlocking(store->pendingUploads()).isEmpty());
    EXPECT_TRUE(runBlocking(store->pendingDeletes()).isEmpty());
    runBlocking(store->clear());
    EXPECT_EQ(published(), Events {HistoryChangeEvent::cleared()});
    EXPECT_EQ(runBlocking(store->latestUpdatedAt()), std::nullopt);
}

TEST_F(LocalHistoryStoreTest, MergingPulledItemsIsIdempotentAndFindsRowsByClientOrServerId)
{
    const auto store = open();
    const QUuid id42 = QUuid::fromString(u"00000000-0000-4000-8000-00000000002A");
    runBlocking(store->append(HistoryRecord(id42, QStringLiteral("local edit"), std::nullopt, std::nullopt,
                                            std::nullopt, Date(1), std::nullopt, std::nullopt, false, std::nullopt)));
    published();
    const RemoteHistoryItem byClientID {42,      QStringLiteral("00000000-0000-4000-8000-00000000002a"),
                                        QStringLiteral("cloud"), QStringLiteral("raw"), std::nullopt,
                                        QStringLiteral("app"),   Date(2), Date(3), std::nullopt};
    RemoteHistoryItem byServerID = byClientID;
    byServerID.clientID = std::nullopt;
    byServerID.text = QStringLiteral("cloud, edited");
    // The server id's two top bits give way to the UUID's variant bits.
    const RemoteHistoryItem largest {std::numeric_limits<qint64>::max(), QStringLiteral("not a uuid"),
                                     QStringLiteral("one"), QString(), QString(), std::nullopt, Date(4), Date(5),
                                     std::nullopt};
    RemoteHistoryItem deletedOnServer = largest;
    deletedOnServer.deletedAt = Date(6);

    const HistoryRecord merged42(id42, QStringLiteral("cloud"), QStringLiteral("raw"), std::nullopt,
                                 QStringLiteral("app"), Date(2), Date(3), std::nullopt, true, 42);
    const HistoryRecord mergedLargest(QUuid::fromString(u"00000000-0000-4000-BFFF-FFFFFFFFFFFF"),
                                      QStringLiteral("one"), QString(), std::nullopt, std::nullopt, Date(4), Date(5),
                                      std::nullopt, true, largest.id);
    for (int pull = 0; pull < 2; ++pull) {
        SCOPED_TRACE(pull);
        runBlocking(store->mergeFromRemote({byClientID, largest}));
        EXPECT_EQ(runBlocking(store->all()), (Records {mergedLargest, merged42}));
        EXPECT_EQ(published(),
                  (Events {HistoryChangeEvent::appended(merged42), HistoryChangeEvent::appended(mergedLargest)}));
        EXPECT_TRUE(runBlocking(store->pendingUploads()).isEmpty());
    }

    runBlocking(store->mergeFromRemote({byServerID, deletedOnServer}));
    HistoryRecord edited = merged42;
    edited.text = byServerID.text;
    EXPECT_EQ(runBlocking(store->all()), Records {edited});
    EXPECT_EQ(published(), Events {HistoryChangeEvent::appended(edited)});
}

// The import reads the default folder, not the store's own.
TEST_F(LocalHistoryStoreTest, OnlyASignedInAccountImportsTheLegacyHistory)
{
    const QString root = SQLiteAccountStore::defaultBaseDirectory();
    QDir(root + QStringLiteral("/legacy")).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(root));
    QFile legacy(root + QStringLiteral("/history.json"));
    ASSERT_TRUE(legacy.open(QIODevice::WriteOnly));
    legacy.write(R"([{"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "text": "before", "synced": true}])");
    legacy.close();

    runBlocking(LocalHistoryStore::forUser(QString(), broadcaster, base.path())->migrateLegacyJSONIfNeeded());
    EXPECT_TRUE(legacy.exists());
    const auto store = LocalHistoryStore::forUser(QStringLiteral("42"), broadcaster, base.path());
    runBlocking(store->migrateLegacyJSONIfNeeded());
    const Records imported = runBlocking(store->all());
    ASSERT_EQ(imported.size(), 1);
    EXPECT_EQ(imported[0].clientID(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_TRUE(imported[0].synced);
    EXPECT_TRUE(published().empty());
    EXPECT_FALSE(legacy.exists());
}

// The file work runs on the store's own thread in call order: a read or a
// close called before an earlier write has returned still comes after it,
// and a store dropped with a write pending finishes the write first.
TEST_F(LocalHistoryStoreTest, OperationsTakeEffectInCallOrderAndNoWriteCalledIsLost)
{
    const HistoryRecord first = record(1);
    const HistoryRecord second = record(2);
    {
        const auto store = open();
        QCoro::Task<HistoryRecord> write = store->append(first);
        QCoro::Task<Records> read = store->all();
        QCoro::Task<void> closing = store->close();
        QCoro::Task<HistoryRecord> afterClose = store->append(record(3));
        EXPECT_EQ(runBlocking(std::move(read)), Records {first});
        runBlocking(std::move(closing));
        runBlocking(std::move(afterClose));
        EXPECT_EQ(runBlocking(std::move(write)), first);
    }
    auto store = open();
    QCoro::Task<HistoryRecord> pending = store->append(second);
    store.reset();
    EXPECT_EQ(runBlocking(std::move(pending)), second);

    EXPECT_EQ(runBlocking(open()->all()), (Records {second, first}));
    EXPECT_EQ(published(), (Events {HistoryChangeEvent::appended(first), HistoryChangeEvent::appended(second)}));
    EXPECT_EQ(logged(), QStringList {QStringLiteral("warn append failed: prepareFailed(\"no db\")")});
}
