#include "FakeDataSyncAPI.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "HistoryLogFixture.h"
#include "QtPrinters.h"
#include "Support/Async/RunBlocking.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

using namespace vellamor;
using namespace std::chrono_literals;
using Waits = std::vector<std::chrono::milliseconds>;

namespace {

class HistorySyncEngineTest : public test::HistoryLogFixture {
protected:
    void TearDown() override
    {
        engine.reset();
        // Cancelled tasks end on a later turn of the event loop, those
        // waiting for the store once it has answered.
        runBlocking(store->flush());
        test::afterQueuedCalls();
    }

    std::shared_ptr<LocalHistoryStore> openStore(const QString& account)
    {
        return std::make_shared<LocalHistoryStore>(
            account, broadcaster, base.path(), nullptr, log(QStringLiteral("store")));
    }

    HistoryRecord dictate(const std::shared_ptr<LocalHistoryStore>& into, const QString& text)
    {
        return runBlocking(
            into->append(HistoryRecord(QUuid::createUuid(), text, std::nullopt, std::nullopt, std::nullopt, now,
                                       std::nullopt, std::nullopt, false, std::nullopt)));
    }

    // A record uploaded as `serverID` and deleted here since: a pending deletion.
    void deletedHere(qint64 serverID)
    {
        const HistoryRecord record = dictate(store, QStringLiteral("deleted here"));
        runBlocking(store->markSynced(record.id, serverID, now));
        runBlocking(store->softDelete(record.id));
    }

    // Recorded; ends at once.
    QCoro::Task<bool> sleep(std::chrono::milliseconds duration, std::stop_token token)
    {
        waits.push_back(duration);
        co_return !token.stop_requested();
    }

    QStringList pulls() const { return api->calls.filter(QStringLiteral("sync ")); }

    // The store answers on later turns of the event loop.
    bool syncEnds() const
    {
        return test::waitUntil([this] { return !observer->inProgress(); });
    }
    bool uploaded(qsizetype count) const
    {
        return test::waitUntil([this, count] { return api->appended.size() == count; });
    }

    std::shared_ptr<test::FakeDataSyncAPI> api = std::make_shared<test::FakeDataSyncAPI>();
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    std::shared_ptr<LocalHistoryStore> store = openStore(QStringLiteral("u1"));
    std::shared_ptr<HistorySyncObserver> observer = std::make_shared<HistorySyncObserver>();
    Date now {1772352500.0};
    Waits waits;
    std::unique_ptr<HistorySyncEngine> engine
        = std::make_unique<HistorySyncEngine>(api, store, observer, Waits {}, log(QStringLiteral("history-sync")),
            HistorySyncEngine::Clock { [this] { return now; },
                [this](std::chrono::milliseconds duration, std::stop_token token) {
                    return sleep(duration, std::move(token));
                } });
};

RemoteHistoryItem remote(qint64 id, Date updatedAt = Date())
{
    RemoteHistoryItem item;
    item.id = id;
    item.updatedAt = updatedAt;
    return item;
}

TEST_F(HistorySyncEngineTest, APullPagesFromTheCursorTheLastCompletePullReached)
{
    using Page = HistorySyncSinceResponse;
    struct Case {
        const char* name;
        std::function<Page(qint64)> pages;
        qsizetype requests;
        QString nextPull;
    };
    const std::array cases {
        Case { "the last page",
            [](qint64) {
                return Page { { remote(1) }, 7, false };
            },
            1, QStringLiteral("sync 7") },
        Case { "more each time: 50 pages at most",
            [](qint64 cursor) {
                return Page { { remote(cursor + 1) }, cursor + 1, true };
            },
            50, QStringLiteral("sync 50") },
        Case { "an empty page that claims more",
            [](qint64 cursor) {
                return Page { {}, cursor, true };
            },
            1, QStringLiteral("sync 0") },
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        SCOPED_TRACE(c.name);
        store = openStore(QStringLiteral("u%1").arg(index));
        api->calls.clear();
        api->pages = c.pages;
        engine->stop();
        engine->start(store);
        ASSERT_TRUE(syncEnds());
        EXPECT_EQ(api->calls.size(), c.requests);

        engine->syncNow();
        ASSERT_TRUE(syncEnds());
        EXPECT_EQ(api->calls.value(c.requests), c.nextPull);
    }
}

// Another device's record can carry an earlier update time than a record
// uploaded from here; a cursor taken from the newest local row skips it.
// Records are never edited, so the cloud's copy of a record deleted here
// must not bring it back.
TEST_F(HistorySyncEngineTest, APullBringsInAnotherDevicesEarlierRecordButNoRecordDeletedHere)
{
    engine->start();
    // A sync asked for while one runs is not run again.
    ASSERT_TRUE(syncEnds());
    engine->enqueueAppend(dictate(store, QStringLiteral("from here")));
    ASSERT_TRUE(uploaded(1));
    deletedHere(5);
    const RemoteHistoryItem phone = remote(9, Date::fromUnixMicroseconds(api->appended[0].updatedAtMicros - 1));
    api->pages = [&](qint64 cursor) { return HistorySyncSinceResponse {{phone, remote(5)}, cursor + 1, false}; };

    engine->syncNow();
    ASSERT_TRUE(syncEnds());
    EXPECT_EQ(pulls(), (QStringList {QStringLiteral("sync 0"), QStringLiteral("sync 0")}));
    EXPECT_EQ(runBlocking(store->all()).size(), 2);
    EXPECT_TRUE(runBlocking(store->pendingDeletes()).isEmpty());
}

TEST_F(HistorySyncEngineTest, AFailedPullCompletesNoSyncButUploadsAndDeletesRetryUntilTheySucceed)
{
    deletedHere(5);
    dictate(store, QStringLiteral("pending"));
    api->failures = { { QStringLiteral("sync"), 1 }, { QStringLiteral("append"), 6 }, { QStringLiteral("delete"), 1 } };

    engine->start();
    ASSERT_TRUE(test::waitUntil([&] { return api->calls.size() == 1 + 7 + 2; }));
    // The upload's waits (1, 2, 4, 8, 30, 30 s) and the deletion's (1 s)
    // interleave as the store answers them.
    std::sort(waits.begin(), waits.end());
    EXPECT_EQ(waits, (Waits {1s, 1s, 2s, 4s, 8s, 30s, 30s}));
    EXPECT_EQ(observer->lastSyncAt(), std::nullopt);
    EXPECT_FALSE(observer->inProgress());
    const QList<HistoryRecord> kept = runBlocking(store->all());
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].serverId, api->appended.last().serverID);
    EXPECT_TRUE(runBlocking(store->pendingDeletes()).isEmpty());
}

TEST_F(HistorySyncEngineTest, OnlyRecordsThisStoreHoldsUnsyncedAreUploadedAndOnlyWhileStarted)
{
    engine->enqueueAppend(dictate(store, QStringLiteral("before the start")));
    EXPECT_TRUE(api->calls.isEmpty());
    engine->start();
    ASSERT_TRUE(uploaded(1));

    engine->enqueueAppend(dictate(openStore(QStringLiteral("anonymous")), QStringLiteral("signed out")));
    const HistoryRecord synced = dictate(store, QStringLiteral("synced"));
    runBlocking(store->markSynced(synced.id, 9, now));
    engine->enqueueAppend(synced);
    // The store answers in call order: once a later record is up, the two
    // above were turned down.
    const HistoryRecord later = dictate(store, QStringLiteral("later"));
    ASSERT_TRUE(uploaded(2));
    EXPECT_EQ(api->calls.last(), QStringLiteral("append ") + later.clientID());
}

// Started, the engine hears its store's appends itself. A record of another
// account's store, one pulled from the cloud, one appended while stopped or
// published just before a stop is not uploaded, also when a start follows
// within the same turn.
TEST_F(HistorySyncEngineTest, StartedItUploadsWhatItsStoreAppendsUnsyncedAndNothingElse)
{
    const std::shared_ptr<LocalHistoryStore> other = openStore(QStringLiteral("u2"));
    std::shared_ptr<LocalHistoryStore> engineStore = store;
    struct Case {
        const char* name;
        std::function<HistoryRecord()> append;
        bool uploaded;
    };
    const Case cases[] {
        {"dictated here", [&] { return dictate(store, QStringLiteral("here")); }, true},
        {"another account's", [&] { return dictate(openStore(QStringLiteral("u3")), QStringLiteral("elsewhere")); },
         false},
        {"pulled from the cloud",
         [&] {
             return runBlocking(store->append(HistoryRecord(QUuid::createUuid(), QStringLiteral("cloud"), std::nullopt,
                 std::nullopt, std::nullopt, now, std::nullopt, std::nullopt, true, 5)));
         },
         false},
        {"published before a stop and a start on another store",
         [&] {
             const HistoryRecord record = dictate(store, QStringLiteral("before the switch"));
             engine->stop();
             engine->start(other);
             engineStore = other;
             return record;
         },
         false},
        {"appended while stopped",
         [&] {
             engine->stop();
             return dictate(other, QStringLiteral("signed out"));
         },
         false},
    };
    engine->start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryRecord record = c.append();
        const QString upload = QStringLiteral("append ") + record.clientID();
        if (c.uploaded) {
            EXPECT_TRUE(test::waitUntil([&] { return api->calls.contains(upload); }));
            continue;
        }
        // The engine hears appends and asks its store in order, so a record
        // of its store appended later and uploaded marks this one passed over.
        // Stopped, it has no store to append to.
        if (engine->isStarted()) {
            const HistoryRecord later = dictate(engineStore, QStringLiteral("later"));
            EXPECT_TRUE(test::waitUntil([&] { return api->calls.contains(QStringLiteral("append ") + later.clientID()); }));
        } else {
            // Were it still listening, the engine would hear the append on a
            // queued call and ask its store, which answers in call order.
            test::afterQueuedCalls();
            runBlocking(engineStore->flush());
            test::afterQueuedCalls();
        }
        EXPECT_FALSE(api->calls.contains(upload));
    }
}

// A stop followed by a start leaves the old tasks running until their
// cancellation arrives; they must not touch the new tasks' bookkeeping.
TEST_F(HistorySyncEngineTest, StopCancelsEveryUploadAndLateOnesLeaveTheNextStartAlone)
{
    const HistoryRecord pending = dictate(store, QStringLiteral("pending"));
    const QString upload = QStringLiteral("append ") + pending.clientID();
    api->holdCalls = QStringLiteral("append");
    engine->start();
    ASSERT_TRUE(test::waitUntil([&] { return api->calls.count(upload) == 1; }));
    engine->stop();
    engine->start();
    // Registered before the old loop has heard of its stop.
    engine->enqueueAppend(pending);
    EXPECT_TRUE(test::waitUntil([&] { return api->calls.count(upload) == 2; }));
    // The old loop has heard its stop once its cancelled attempt backs off.
    ASSERT_TRUE(test::waitUntil([&] { return waits.size() == 1; }));
    engine->enqueueAppend(pending);
    // The engine asks its store before it uploads; the store answers in call order.
    runBlocking(store->flush());
    EXPECT_EQ(api->calls.count(upload), 2);
    api->release();
    EXPECT_TRUE(uploaded(1));
    runBlocking(store->flush());
    EXPECT_EQ(api->calls.count(upload), 2);
}

// Cloud sync switched off ends the upload that waits and starts nothing
// more; switched on again, the next sync uploads what is still pending.
TEST_F(HistorySyncEngineTest, WhileCloudSyncIsOffNothingIsPulledOrUploaded)
{
    const HistoryRecord pending = dictate(store, QStringLiteral("pending"));
    api->holdCalls = QStringLiteral("append");
    engine->start();
    ASSERT_TRUE(test::waitUntil([&] { return api->calls.size() == 2; }));
    engine->setCloudSyncEnabled(false);
    api->release();
    // The cancelled attempt backs off once, then its loop ends.
    ASSERT_TRUE(test::waitUntil([&] { return waits.size() == 1; }));
    engine->syncNow();
    engine->enqueueAppend(pending);
    // Either would ask the store first; it answers in call order.
    runBlocking(store->flush());
    EXPECT_EQ(api->calls, (QStringList { QStringLiteral("sync 0"), QStringLiteral("append ") + pending.clientID() }));
    EXPECT_TRUE(api->appended.isEmpty());

    api->holdCalls.reset();
    engine->setCloudSyncEnabled(true);
    engine->syncNow();
    EXPECT_TRUE(uploaded(1));
}

// A sync that a stop overtook must neither write the observer nor start
// deletions: its store may be another account's by then.
TEST_F(HistorySyncEngineTest, OneFullSyncAtATimeAndOneAStopOvertookLeavesTheNextAlone)
{
    std::vector<bool> inProgress;
    const Subscription watching = observer->subscribeInProgress([&](bool value) { inProgress.push_back(value); });
    deletedHere(8);
    const std::shared_ptr<LocalHistoryStore> other = openStore(QStringLiteral("u2"));
    api->holdCalls = QStringLiteral("sync");
    engine->start();
    engine->stop();
    engine->start(other);
    // The overtaken sync still asks once, cancelled, after its store answered.
    ASSERT_TRUE(test::waitUntil([&] { return pulls().size() == 2; }));
    engine->start();
    engine->syncNow();
    // A second sync would ask the store for its cursor first.
    runBlocking(other->flush());
    EXPECT_EQ(pulls(), (QStringList { QStringLiteral("sync 0"), QStringLiteral("sync 0") }));

    now = now.addingSeconds(3);
    api->release();
    ASSERT_TRUE(test::waitUntil([&] { return !observer->inProgress(); }));
    EXPECT_EQ(inProgress, (std::vector {false, true, false, true, false}));
    EXPECT_EQ(observer->lastSyncAt(), now);
    EXPECT_FALSE(api->calls.contains(QStringLiteral("delete 8")));
    engine->syncNow();
    EXPECT_TRUE(test::waitUntil([&] { return pulls().size() == 3; }));
}

} // namespace
