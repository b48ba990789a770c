#include "Models/NetworkError.h"

#include "DataSyncTestSupport.h"
#include "LiveServerFixture.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::ScriptedAnswer;
using test::errorOf;

namespace {

class DataSyncLive : public test::DataSyncClientTest<test::LiveServerTest> {
protected:
    DataSyncAPI client() const { return clientOn(server.baseURL(), makeSession(), systemLog); }
};

TEST_F(DataSyncLive, HistoryAndDictionaryRoundTripThroughTheBackend)
{
    DataSyncAPI api = client();
    const Date created(1772352942.25);
    const AppendHistoryResult first = runBlocking(api.appendHistory(QStringLiteral("C-1"), QStringLiteral("好"),
        QStringLiteral("hao"), QStringLiteral("好"), QStringLiteral("org.app"), created));
    const AppendHistoryResult second = runBlocking(api.appendHistory(
        QStringLiteral("C-2"), QStringLiteral("raw"), QStringLiteral("raw"), std::nullopt, std::nullopt, created));
    EXPECT_LT(first.updatedAtMicros, second.updatedAtMicros);

    const QList<HistoryItem> listed = runBlocking(api.listHistory(10));
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0].displayText(), QStringLiteral("raw"));
    EXPECT_EQ(listed[1],
        (HistoryItem { first.serverID, QStringLiteral("hao"), QStringLiteral("好"), {}, {}, 0,
            QStringLiteral("org.app"), created }));

    const HistorySyncSinceResponse page = runBlocking(api.syncHistorySince(0, 1));
    ASSERT_EQ(page.items.size(), 1);
    EXPECT_EQ(page.items[0].clientID, QStringLiteral("C-1"));
    EXPECT_EQ(page.items[0].updatedAt.toUnixMicroseconds(), first.updatedAtMicros);
    EXPECT_TRUE(page.hasMore);
    runBlocking(api.deleteHistoryRemotely(first.serverID));
    const HistorySyncSinceResponse rest = runBlocking(api.syncHistorySince(page.nextSinceUpdatedAtMicros, 200));
    ASSERT_EQ(rest.items.size(), 2);
    EXPECT_TRUE(rest.items[1].deletedAt.has_value());
    EXPECT_FALSE(rest.hasMore);
    const HistorySyncResponse byVersion = runBlocking(api.syncHistory(0, std::nullopt));
    EXPECT_EQ(byVersion.entries, QList<HistoryItem>{listed[0]});

    const DictEntry entry
        = runBlocking(api.upsertDictEntry(std::nullopt, QStringLiteral(" 术语 "), QStringLiteral("shù yǔ"), {}));
    EXPECT_GT(entry.id, 0);
    EXPECT_EQ(
        runBlocking(api.upsertDictEntry(entry.id, QStringLiteral("术语"), QStringLiteral("term"), QStringLiteral("n")))
            .replacement,
        QStringLiteral("term"));
    const DictionarySyncResponse changes = runBlocking(api.syncDictionary(0, 10));
    ASSERT_EQ(changes.entries.size(), 1);
    EXPECT_EQ(changes.entries[0].note, QStringLiteral("n"));
    EXPECT_EQ(runBlocking(api.listDictionary()), changes.entries);
    runBlocking(api.deleteDictEntry(entry.id));
    EXPECT_TRUE(runBlocking(api.listDictionary()).isEmpty());
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::remote());
    EXPECT_TRUE(loggedWarnings().isEmpty());
}

TEST_F(DataSyncLive, TransportFaultsAndRefusals)
{
    DataSyncAPI api = client();
    ScriptedAnswer drop;
    drop.drop = true;
    // Qt sends a request again once when the connection closes unanswered.
    drop.times = ScriptedAnswer::unlimited;
    server.script(drop);
    const std::optional<NetworkError> lost
        = errorOf<NetworkError>(api.appendHistory(QStringLiteral("C"), {}, {}, std::nullopt, std::nullopt, Date()));
    ASSERT_TRUE(lost.has_value());
    EXPECT_TRUE(runBlocking(api.listDictionary()).isEmpty());
    // The user's words for it; the network stack's stay in the error for the log.
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(lost->errorDescription()));
    EXPECT_FALSE(lost->detail().isEmpty());
    server.clearScripts();

    ScriptedAnswer refusal;
    refusal.action = QStringLiteral("history.list");
    refusal.status = 401;
    refusal.body = R"({"code":0,"msg":"ok","data":{}})";
    server.script(refusal);
    EXPECT_TRUE(runBlocking(api.listHistory(5)).isEmpty());
    EXPECT_EQ(handler->reasons, QList<AuthAPIError>{AuthAPIError::tokenInvalid()});
    EXPECT_EQ(handler->refusedTokens, QStringList { QStringLiteral("tok") });
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::signInNeeded(QStringLiteral("登录已过期")));

    // An unknown server entry is refused by the server, and not deleted locally either.
    EXPECT_EQ(errorOf<DataSyncError>(api.deleteDictEntry(999)),
        DataSyncError::business(40402, QStringLiteral("record not found")));
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(QStringLiteral("record not found")));
}

} // namespace
