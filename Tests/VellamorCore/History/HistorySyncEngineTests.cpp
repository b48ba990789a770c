#include "FakeDataSyncAPI.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "HistoryLogFixture.h"
#include "QtPrinters.h"
#include "Support/Async/RunBlocking.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace vellamor;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Waits = std::vector<std::chrono::milliseconds>;

namespace {

class HistorySyncEngineTest : public test::HistoryLogFixture {
protected:
    void TearDown() override
    {
        engine.reset();
        // Cancelled tasks end on a later turn of the event loop.
        test::runEventLoopFor(20ms);
    }

    std::shared_ptr<LocalHistoryStore> openStore(const QString& account)
    {
        return std::make_shared<LocalHistoryStore>(account, broadcaster, base.path(), nullptr,
                                                   log(QStringLiteral("local-history-store")));
    }

    HistorySyncEngine::Clock clock()
    {
        return HistorySyncEngine::Clock {[this] { return now; },
                                         [this](std::chrono::milliseconds duration, std::stop_token token) {
                                             return sleep(duration, std::move(token));
                                         }};
    }

    // Waits are recorded and end at once, or, when `waitsHang`, only on a stop request.
    QCoro::Task<bool> sleep(std::chrono::milliseconds duration, std::stop_token token)
    {
        waits.push_back(duration);
        if (!waitsHang)
            co_return !token.stop_requested();
        const Channel<bool> never;
        co_return (co_await never.next(std::move(token))).has_value();
    }

    HistoryRecord dictate(const std::shared_ptr<LocalHistoryStore>& into, const QString& text)
    {
        return runBlocking(
            into->append(HistoryRecord(QUuid::createUuid(), text, std::nullopt, std::nullopt, std::nullopt, now,
                                       std::nullopt, std::nullopt, false, std::nullopt)));
    }

    QStringList warnings() const { return logged().filter(QStringLiteral("warn ")); }
    QStringList pulls() const { return api->calls.filter(QStringLiteral("sync ")); }

    std::shared_ptr<test::FakeDataSyncAPI> api = std::make_shared<test::FakeDataSyncAPI>();
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    std::shared_ptr<LocalHistoryStore> store = openStore(QStringLiteral("u1"));
    std::shared_ptr<HistorySyncObserver> observer = std::make_shared<HistorySyncObserver>();
    Date now {1772352500.0};
    Waits waits;
    bool waitsHang = false;
    std::unique_ptr<HistorySyncEngine> engine = std::make_unique<HistorySyncEngine>(
        api, store, observer, Waits {}, log(QStringLiteral("history-sync")), clock());
};

RemoteHistoryItem remote(qint64 id, const QString& text, Date updatedAt = Date())
{
    RemoteHistoryItem item;
    item.id = id;
    item.text = text;
    item.updatedAt = updatedAt;
    return item;
}

TEST_F(HistorySyncEngineTest, APullPagesFromTheCursorTheLastCompletePullReached)
{
    struct Case {
        const char* name;
        std::function<HistorySyncSinceResponse(qint64)> pages;
        QString lastRequest;
        qsizetype requests;
        QString nextPullStartsWith;
    };
    const std::array cases {
        Case {"the last page",
              [](qint64) {
                  return HistorySyncSinceResponse {{remote(1, u"a"_s)}, 7, false};
              },
              u"sync 0"_s, 1, u"sync 7"_s},
        Case {"more follow each time: 50 pages at most",
              [](qint64 cursor) {
                  return HistorySyncSinceResponse {{remote(cursor + 1, u"a"_s)}, cursor + 1, true};
              },
              u"sync 49"_s, 50, u"sync 50"_s},
        Case {"an empty page that claims more",
              [](qint64 cursor) {
                  return HistorySyncSinceResponse {{}, cursor, true};
              },
              u"sync 0"_s, 1, u"sync 0"_s},
        Case {"more without a new cursor: the same page again",
              [](qint64 cursor) {
                  return HistorySyncSinceResponse {{remote(1, u"a"_s)}, cursor, true};
              },
              u"sync 0"_s, 50, u"sync 0"_s},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        SCOPED_TRACE(c.name);
        store = openStore(QStringLiteral("u%1").arg(index));
        api->calls.clear();
        api->pages = c.pages;
        engine->stop();
        engine->start(store);
        EXPECT_EQ(api->calls.size(), c.requests);
        EXPECT_EQ(api->calls.last(), c.lastRequest);
        EXPECT_EQ(observer->lastSyncAt(), now);

        engine->syncNow();
        EXPECT_EQ(api->calls[c.requests], c.nextPullStartsWith);
    }
}

// Another device's record can carry an earlier update time than a record
// uploaded from here; a cursor taken from the newest local row skips it.
TEST_F(HistorySyncEngineTest, ARecordOfAnotherDeviceIsPulledAfterAnUploadFromHereWithALaterTime)
{
    engine->start();
    engine->enqueueAppend(dictate(store, u"from here"_s));
    ASSERT_EQ(api->appended.size(), 1);
    const RemoteHistoryItem phone
        = remote(9, u"from the phone"_s, Date::fromUnixMicroseconds(api->appended[0].updatedAtMicros - 1));
    api->pages = [&](qint64 cursor) { return HistorySyncSinceResponse {{phone}, cursor + 1, false}; };

    engine->syncNow();
    EXPECT_EQ(pulls(), (QStringList {u"sync 0"_s, u"sync 0"_s}));
    EXPECT_EQ(runBlocking(store->all()).size(), 2);
}

TEST_F(HistorySyncEngineTest, AFailedPullStillStartsTheRetryingUploadsAndDeletesButCompletesNoSync)
{
    const HistoryRecord deleted = dictate(store, u"deleted here"_s);
    runBlocking(store->markSynced(deleted.id, 5, now));
    runBlocking(store->softDelete(deleted.id));
    const HistoryRecord pending = dictate(store, u"pending"_s);
    api->failures = {{u"sync"_s, 1}, {u"append"_s, 6}, {u"delete"_s, 1}};

    engine->start();
    ASSERT_TRUE(test::waitUntil([&] { return api->calls.size() == 1 + 7 + 2; }));
    EXPECT_EQ(waits, (Waits {1s, 2s, 4s, 8s, 30s, 30s, 1s}));
    QStringList expected {u"warn pull failed: transport(\"HTTP 503\")"_s};
    for (int attempt = 0; attempt < 6; ++attempt)
        expected << u"warn append retry %1: transport(\"HTTP 503\")"_s.arg(attempt);
    expected << u"warn delete retry 0: transport(\"HTTP 503\")"_s;
    EXPECT_EQ(warnings(), expected);
    EXPECT_EQ(observer->lastSyncAt(), std::nullopt);
    EXPECT_FALSE(observer->inProgress());

    const QList<HistoryRecord> kept = runBlocking(store->all());
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].id, pending.id);
    EXPECT_EQ(kept[0].serverId, api->appended.last().serverID);
    EXPECT_EQ(kept[0].updatedAt, Date::fromUnixMicroseconds(api->appended.last().updatedAtMicros));
    EXPECT_TRUE(runBlocking(store->pendingDeletes()).isEmpty());
    engine->syncNow();
    EXPECT_EQ(pulls().last(), u"sync 0"_s);
}

// Records are never edited, so the cloud's copy of a record deleted here
// must not bring it back.
TEST_F(HistorySyncEngineTest, ADeletionMadeHereSurvivesAPullThatBringsTheRecordBack)
{
    const HistoryRecord record = dictate(store, u"short-lived"_s);
    runBlocking(store->markSynced(record.id, 5, now));
    runBlocking(store->softDelete(record.id));
    RemoteHistoryItem uploaded = remote(5, record.text);
    uploaded.clientID = record.clientID();
    api->pages = [&](qint64 cursor) { return HistorySyncSinceResponse {{uploaded}, cursor, false}; };

    engine->start();
    EXPECT_TRUE(runBlocking(store->all()).isEmpty());
    EXPECT_TRUE(api->calls.contains(u"delete 5"_s));
    EXPECT_TRUE(runBlocking(store->pendingDeletes()).isEmpty());
}

TEST_F(HistorySyncEngineTest, OnlyRecordsThisStoreHoldsUnsyncedAreUploadedAndOnlyWhileStarted)
{
    const auto anonymous = openStore(u"anonymous"_s);
    const HistoryRecord signedOut = dictate(anonymous, u"signed out"_s);
    engine->enqueueAppend(dictate(store, u"before the start"_s));
    EXPECT_TRUE(api->calls.isEmpty());
    engine->start();
    ASSERT_EQ(api->appended.size(), 1);

    engine->enqueueAppend(signedOut);
    HistoryRecord synced = dictate(store, u"synced"_s);
    runBlocking(store->markSynced(synced.id, 9, now));
    engine->enqueueAppend(synced);
    test::runEventLoopFor(10ms);
    EXPECT_EQ(api->appended.size(), 1);
}

TEST_F(HistorySyncEngineTest, OneFullSyncAtATimeOnStartOrSyncNow)
{
    std::vector<bool> inProgress;
    const Subscription watching = observer->subscribeInProgress([&](bool value) { inProgress.push_back(value); });
    api->holdCalls = u"sync"_s;
    engine->start();
    engine->start();
    engine->syncNow();
    EXPECT_EQ(api->calls, QStringList {u"sync 0"_s});
    EXPECT_EQ(logged().filter(u"engine started"_s).size(), 1);

    now = now.addingSeconds(3);
    api->release();
    ASSERT_TRUE(test::waitUntil([&] { return !observer->inProgress(); }));
    EXPECT_EQ(observer->lastSyncAt(), now);
    engine->syncNow();
    EXPECT_EQ(api->calls.size(), 2);
    EXPECT_EQ(inProgress, (std::vector {false, true, false, true}));
}

// A stop followed by a start leaves the old tasks running until their
// cancellation arrives; they must not touch the new tasks' bookkeeping.
TEST_F(HistorySyncEngineTest, StopCancelsEveryTaskAndLateOnesLeaveTheNextStartAlone)
{
    const HistoryRecord tombstone = dictate(store, u"tombstone"_s);
    runBlocking(store->markSynced(tombstone.id, 7, now));
    runBlocking(store->softDelete(tombstone.id));
    const HistoryRecord pending = dictate(store, u"pending"_s);
    const QString upload = u"append "_s + pending.clientID();
    api->holdCalls = u"append"_s;
    api->failures = {{u"delete"_s, 1}};
    waitsHang = true;
    engine->start();
    EXPECT_EQ(api->calls, (QStringList {u"sync 0"_s, upload, u"delete 7"_s}));

    engine->stop();
    engine->stop();
    EXPECT_EQ(logged().filter(u"engine stopped"_s).size(), 1);
    EXPECT_FALSE(observer->inProgress());
    engine->start();
    EXPECT_EQ(api->calls.count(upload), 2);
    ASSERT_TRUE(test::waitUntil([&] { return api->heldCalls() == 1; }));
    test::runEventLoopFor(10ms);
    EXPECT_EQ(
        warnings(),
        (QStringList {u"warn delete retry 0: transport(\"HTTP 503\")"_s, u"warn append retry 0: CancellationError"_s}));
    engine->enqueueAppend(pending);
    EXPECT_EQ(api->calls.count(upload), 2);

    // A sync that a stop overtook starts nothing, although the engine runs
    // again (on another account's store by then).
    const HistoryRecord deletedLater = dictate(store, u"deleted later"_s);
    runBlocking(store->markSynced(deletedLater.id, 8, now));
    runBlocking(store->softDelete(deletedLater.id));
    api->holdCalls = u"sync"_s;
    engine->stop();
    engine->start();
    engine->stop();
    engine->start(openStore(u"u2"_s));
    ASSERT_TRUE(test::waitUntil([&] { return api->heldCalls() == 1; }));
    test::runEventLoopFor(10ms);
    EXPECT_TRUE(observer->inProgress());
    engine->syncNow();
    EXPECT_EQ(pulls().size(), 4);
    api->release();
    ASSERT_TRUE(test::waitUntil([&] { return !observer->inProgress(); }));
    EXPECT_FALSE(api->calls.contains(u"delete 8"_s));
}

} // namespace
