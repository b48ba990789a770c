#include "DataSync/LocalDataStore.h"
#include "Models/NetworkError.h"

#include "DataSyncTestSupport.h"
#include "ScriptedHTTPSession.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>

using namespace vellamor;
using test::errorOf;

namespace {

const QUrl kBase(QStringLiteral("https://api.example.test/prefix"));
const Date kWholeSecond = *Date::fromIso8601(u"2026-03-01T08:15:42Z");
const QString kOffline = QStringLiteral("Connection refused");
// What the user reads of it.
const QString kOfflineReason = QStringLiteral("无法连接服务器，请检查网络后重试");
// Stands for an answer that has no HTTP status at all.
constexpr int kNotHTTP = 0;

QByteArray ok(const QByteArray& data)
{
    return R"({"code":0,"msg":"ok","data":)" + data + "}";
}

QByteArray backendDict(qint64 id)
{
    return R"({"id":)" + QByteArray::number(id) + R"(,"term":"t)" + QByteArray::number(id)
           + R"(","phonetic":null,"created_at":"2026-03-01T08:15:42Z","updated_at":"2026-03-01T08:15:42Z"})";
}

QByteArray backendHistory(qint64 id)
{
    return R"({"id":)" + QByteArray::number(id) + R"(,"raw_text":"r)" + QByteArray::number(id)
           + R"(","created_at":"2026-03-01T08:15:42Z"})";
}

HistoryItem historyItem(qint64 id, const QString& raw)
{
    return HistoryItem{id, raw, {}, {}, {}, 0, {}, kWholeSecond};
}

DictEntry dictEntry(qint64 id, const QString& term)
{
    return DictEntry{id, term, {}, {}, kWholeSecond, kWholeSecond};
}

template<typename Entry>
QList<qint64> ids(const QList<Entry>& entries)
{
    QList<qint64> result;
    for (const Entry& entry : entries)
        result.append(entry.id);
    return result;
}

class DataSyncAPITest : public test::DataSyncClientTest<::testing::Test> {
protected:
    DataSyncAPI client() const { return clientOn(kBase, session, systemLog); }

    void reply(int status, const QByteArray& body) const
    {
        if (status == kNotHTTP)
            session->respondNonHTTP(body);
        else
            session->respond(status, body);
    }

    void offline(int times = 1) const
    {
        for (int i = 0; i < times; ++i)
            session->fail(NetworkError(NetworkError::Kind::cannotConnect, kOffline));
    }

    QStringList warnings() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries())
            lines.append(entry.publicPart);
        return lines;
    }

    LocalDataStore cache{folder.path()};
    std::shared_ptr<test::ScriptedHTTPSession> session = std::make_shared<test::ScriptedHTTPSession>();
    std::shared_ptr<test::RecordingSystemLog> systemLog = std::make_shared<test::RecordingSystemLog>();
};

// Each failure as the sync engine sees it (thrown unchanged), then as the
// dictionary window sees it (a fallback with its reason and one warning).
TEST_F(DataSyncAPITest, RemoteCallFailuresReachTheCallerOrBecomeTheFallbacksReason)
{
    using Error = DataSyncError;
    struct Case {
        std::optional<int> status; // none: signed out with an empty token, nothing may be sent
        QByteArray body;
        DataSyncError expected;
        QString reason;
        std::optional<AuthAPIError> reported;
    };
    const QString expired = QStringLiteral("登录已过期");
    const QString undecodable = QStringLiteral("响应解析失败");
    // clang-format off
    const std::array cases{
        Case{std::nullopt, {}, Error::missingToken(), QStringLiteral("未登录账号"), std::nullopt},
        Case{kNotHTTP, ok("{}"), Error::transport(QStringLiteral("invalid response")), QStringLiteral("invalid response"), std::nullopt},
        Case{401, ok("{}"), Error::unauthorized(), expired, AuthAPIError::tokenInvalid()},
        Case{404, {}, Error::transport(QStringLiteral("HTTP 404")), QStringLiteral("HTTP 404"), std::nullopt},
        Case{500, R"({"code":40100,"msg":"no"})", Error::transport(QStringLiteral("HTTP 500")), QStringLiteral("HTTP 500"), std::nullopt},
        Case{200, "<html>", Error::decodingFailed(QStringLiteral("invalid JSON: illegal value at offset 1")), undecodable,
             std::nullopt},
        Case{200, R"({"code":0,"data":{}})", Error::decodingFailed(QStringLiteral("expected string at \"msg\", key absent")),
             undecodable, std::nullopt},
        Case{200, R"({"code":40100,"msg":"x"})", Error::unauthorized(), expired, AuthAPIError::unauthorized()},
        Case{200, R"({"code":40101,"msg":"x"})", Error::unauthorized(), expired, AuthAPIError::tokenExpired()},
        Case{200, R"({"code":40102,"msg":"x"})", Error::unauthorized(), expired, AuthAPIError::tokenRevoked()},
        Case{200, R"({"code":40103,"msg":"x"})", Error::unauthorized(), expired, AuthAPIError::tokenInvalid()},
        Case{200, R"({"code":42902,"msg":"额度不足"})", Error::business(42902, QStringLiteral("额度不足")), QStringLiteral("额度不足"),
             std::nullopt},
        Case{200, ok("null"), Error::decodingFailed(QStringLiteral("empty data for non-empty response type")), undecodable,
             std::nullopt},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.debugDescription().toStdString() + " from " + c.body.toStdString());
        session = std::make_shared<test::ScriptedHTTPSession>();
        handler = std::make_shared<test::RecordingUnauthorizedHandler>();
        systemLog = std::make_shared<test::RecordingSystemLog>();
        *token = c.status ? QStringLiteral("tok") : QString();
        if (c.status) {
            reply(*c.status, c.body);
            reply(*c.status, c.body);
        }
        DataSyncAPI api = client();
        EXPECT_EQ(errorOf<DataSyncError>(api.syncHistorySince(5, std::nullopt)), c.expected);
        EXPECT_EQ(handler->reasons, c.reported ? QList{*c.reported} : QList<AuthAPIError>());
        EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(QStringLiteral("尚未同步")));
        EXPECT_TRUE(warnings().isEmpty());

        EXPECT_TRUE(runBlocking(api.listDictionary()).isEmpty());
        const bool signIn = c.expected == Error::missingToken() || c.expected == Error::unauthorized();
        EXPECT_EQ(api.currentConnection(),
                  signIn ? DataSyncConnection::signInNeeded(c.reason) : DataSyncConnection::local(c.reason));
        EXPECT_EQ(warnings(),
            QStringList(QStringLiteral("listDictionary remote failed, falling back to local: ")
                + c.expected.debugDescription()));
        EXPECT_EQ(session->requests().size(), c.status ? 2 : 0);
    }
}

TEST_F(DataSyncAPITest, EachOperationSendsExactlyItsRequest)
{
    DataSyncAPI api = client();
    reply(200, ok(R"({"entries":null})"));
    runBlocking(api.listHistory(0));
    reply(200, ok("{}"));
    runBlocking(api.listHistory(500));
    reply(200, ok("null"));
    runBlocking(api.deleteHistory(7));
    reply(200, R"({"code":0,"msg":""})");
    runBlocking(api.deleteHistoryRemotely(8));
    reply(200, ok(R"({"entries":[],"next_version":43,"has_more":true})"));
    EXPECT_EQ(runBlocking(api.syncHistory(42, std::nullopt)), (HistorySyncResponse{{}, 43, true}));
    reply(200, ok(R"({"id":11,"updated_at":1772352943000001})"));
    EXPECT_EQ(runBlocking(api.appendHistory(QStringLiteral("C-1"), QStringLiteral("t"), QStringLiteral("r"),
                  std::nullopt, std::nullopt, Date(1772352942.9999))),
        (AppendHistoryResult { 11, QStringLiteral("C-1"), 1772352943000001 }));
    reply(200, ok(R"({"id":12,"client_id":"S-2","updated_at":1})"));
    EXPECT_EQ(runBlocking(api.appendHistory(QStringLiteral("C-2"), QStringLiteral("p"), QStringLiteral("r"),
                  QStringLiteral("p"), QStringLiteral("org.app"), Date(-0.0015))),
        (AppendHistoryResult { 12, QStringLiteral("S-2"), 1 }));
    reply(200, ok("{}"));
    EXPECT_EQ(runBlocking(api.syncHistorySince(5, std::nullopt)), (HistorySyncSinceResponse{{}, 5, false}));
    reply(200, ok(R"({"items":[],"next_since_updated_at":9,"has_more":true})"));
    EXPECT_EQ(runBlocking(api.syncHistorySince(5, 200)), (HistorySyncSinceResponse{{}, 9, true}));
    reply(200, ok(R"({"entries":[]})"));
    runBlocking(api.listDictionary());
    reply(200, ok(backendDict(3)));
    EXPECT_EQ(
        runBlocking(api.upsertDictEntry(0, QStringLiteral(" 术语\n"), QStringLiteral(" r "), QStringLiteral(" n\n"))),
        dictEntry(3, QStringLiteral("t3")));
    reply(200, ok(backendDict(3)));
    runBlocking(api.upsertDictEntry(3, QStringLiteral("t"), {}, {}));
    reply(200, ok(backendDict(4)));
    runBlocking(api.upsertDictEntry(-3, QStringLiteral("t"), {}, {}));
    reply(200, ok("5"));
    runBlocking(api.deleteDictEntry(-2));
    reply(200, ok(R"({"entries":[],"next_version":10,"has_more":false})"));
    EXPECT_EQ(runBlocking(api.syncDictionary(9, 5)), (DictionarySyncResponse{{}, 10, false}));

    const std::array<std::pair<QString, QByteArray>, 15> sent { {
        { QStringLiteral("history.list"), R"({"limit":1})" },
        { QStringLiteral("history.list"), R"({"limit":200})" },
        { QStringLiteral("history.delete"), R"({"id":7})" },
        { QStringLiteral("history.delete"), R"({"id":8})" },
        { QStringLiteral("history.sync"), R"({"since_version":42,"limit":100})" },
        { QStringLiteral("history.append"),
            R"({"client_id":"C-1","text":"t","recognized_text":"r","polished_text":"",)"
            R"("source_app":"","created_at":1772352942999})" },
        { QStringLiteral("history.append"),
            R"({"client_id":"C-2","text":"p","recognized_text":"r","polished_text":"p",)"
            R"("source_app":"org.app","created_at":-1})" },
        { QStringLiteral("history.sync"), R"({"since_updated_at":5})" },
        { QStringLiteral("history.sync"), R"({"since_updated_at":5,"limit":200})" },
        { QStringLiteral("dictionary.list"), "{}" },
        { QStringLiteral("dictionary.upsert"), R"({"term":"术语","phonetic":" r ","note":" n\n"})" },
        { QStringLiteral("dictionary.upsert"), R"({"term":"t","phonetic":"","note":"","id":3})" },
        { QStringLiteral("dictionary.upsert"), R"({"term":"t","phonetic":"","note":""})" },
        { QStringLiteral("dictionary.delete"), R"({"id":-2})" },
        { QStringLiteral("dictionary.sync"), R"({"since_version":9,"limit":5})" },
    } };
    ASSERT_EQ(session->requests().size(), qsizetype(sent.size()));
    for (qsizetype i = 0; i < session->requests().size(); ++i) {
        const auto& [action, data] = sent[std::size_t(i)];
        SCOPED_TRACE(data.toStdString());
        const HTTPRequest& request = session->requests()[i];
        EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/prefix/v1/api.json")));
        EXPECT_EQ(request.method, QStringLiteral("POST"));
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
        EXPECT_EQ(request.headers,
            (HTTPHeaders { { QStringLiteral("Content-Type"), QStringLiteral("application/json") },
                { QStringLiteral("Authorization"), QStringLiteral("Bearer tok") } }));
        EXPECT_EQ(QJsonDocument::fromJson(request.body).object(),
            (QJsonObject { { QStringLiteral("action"), action },
                { QStringLiteral("data"), QJsonDocument::fromJson(data).object() } }));
    }
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::remote());
    EXPECT_TRUE(warnings().isEmpty());
}

TEST_F(DataSyncAPITest, SuccessesMergeTheServersAnswerIntoTheCaches)
{
    cache.saveHistory({ historyItem(-1, QStringLiteral("local")), historyItem(7, QStringLiteral("old")) });
    cache.saveDictionary({ dictEntry(-2, QStringLiteral("neu")), dictEntry(4, QStringLiteral("old")),
        dictEntry(-3, QStringLiteral("other")) });
    DataSyncAPI api = client();

    reply(200, ok(R"({"entries":[)" + backendHistory(7) + "," + backendHistory(9) + "]}"));
    EXPECT_EQ(ids(runBlocking(api.listHistory(50))), (QList<qint64>{-1, 7, 9}));
    reply(200, ok(R"({"entries":[{"id":9,"rawText":"new","polishedText":"","lang":"","scene":"","durationMs":0,)"
                  R"("appBundleId":"","createdAt":"2026-03-01T08:15:42Z"}],"next_version":2,"has_more":false})"));
    runBlocking(api.syncHistory(1, std::nullopt));
    EXPECT_EQ(cache.loadHistory(),
        (QList<HistoryItem> { historyItem(-1, QStringLiteral("local")), historyItem(7, QStringLiteral("r7")),
            historyItem(9, QStringLiteral("new")) }));

    reply(200, ok(R"({"entries":[)" + backendDict(4) + "," + backendDict(5) + "]}"));
    EXPECT_EQ(ids(runBlocking(api.listDictionary())), (QList<qint64>{4, 5, -2, -3}));
    reply(200, ok(backendDict(6)));
    runBlocking(api.upsertDictEntry(-2, QStringLiteral("neu"), {}, {}));
    reply(200, ok("{}"));
    runBlocking(api.deleteDictEntry(4));
    EXPECT_EQ(ids(cache.loadDictionary()), (QList<qint64>{5, -3, 6}));
}

// Each window open lists the dictionary: a list the cache already holds, to
// the second, leaves its file as it is.
TEST_F(DataSyncAPITest, ListingRewritesTheDictionaryCacheOnlyWhenTheListChanged)
{
    // Compact, as the store never writes it: a rewrite would show.
    const QByteArray kept = R"([{"createdAt":"2026-03-01T08:15:42Z","id":4,"note":"","replacement":"","term":"t4",)"
                            R"("updatedAt":"2026-03-01T08:15:42Z"}])";
    const std::pair<QByteArray, bool> cases[] = {
        { backendDict(4), false },
        { backendDict(4).replace("42Z", "42.875Z"), false },
        { backendDict(4).replace("\"t4\"", "\"t5\""), true },
    };
    DataSyncAPI api = client();
    for (const auto& [answer, rewritten] : cases) {
        SCOPED_TRACE(answer.toStdString());
        QFile file(cache.dictionaryURL());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(kept);
        file.close();
        reply(200, ok(R"({"entries":[)" + answer + "]}"));
        runBlocking(api.listDictionary());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll() != kept, rewritten);
    }
}

TEST_F(DataSyncAPITest, OfflineOperationsAnswerFromTheCaches)
{
    cache.saveHistory({ historyItem(-1, QStringLiteral("a")), historyItem(7, QStringLiteral("b")) });
    cache.saveDictionary({ dictEntry(-2, QStringLiteral("neu")), dictEntry(4, QStringLiteral("server")) });
    DataSyncAPI api = client();
    offline(10);

    EXPECT_EQ(ids(runBlocking(api.listHistory(1))), (QList<qint64>{-1, 7}));
    runBlocking(api.deleteHistory(7));
    EXPECT_EQ(errorOf<DataSyncError>(api.deleteHistory(99)), DataSyncError::notFound());
    EXPECT_EQ(ids(cache.loadHistory()), QList<qint64>{-1});
    EXPECT_EQ(runBlocking(api.syncHistory(42, std::nullopt)), (HistorySyncResponse{{}, 42, false}));
    EXPECT_EQ(runBlocking(api.syncDictionary(9, 1)), (DictionarySyncResponse{{}, 9, false}));
    EXPECT_EQ(ids(runBlocking(api.listDictionary())), (QList<qint64>{-2, 4}));
    EXPECT_EQ(runBlocking(api.upsertDictEntry(std::nullopt, QStringLiteral("neu"), QStringLiteral("x"), {})).id, -2);
    EXPECT_EQ(runBlocking(api.upsertDictEntry(std::nullopt, QStringLiteral("fresh"), {}, {})).id, -3);
    runBlocking(api.deleteDictEntry(-3));
    EXPECT_EQ(errorOf<DataSyncError>(api.deleteDictEntry(-9)), DataSyncError::notFound());
    EXPECT_EQ(cache.loadDictionary().first().replacement, QStringLiteral("x"));
    EXPECT_EQ(ids(cache.loadDictionary()), (QList<qint64>{-2, 4}));
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(kOfflineReason));

    const QString error = NetworkError(NetworkError::Kind::cannotConnect, kOffline).debugDescription();
    const QStringList expected {
        QStringLiteral("listHistory remote failed, falling back to local: "),
        QStringLiteral("deleteHistory remote failed, deleting locally: "),
        QStringLiteral("deleteHistory remote failed, deleting locally: "),
        QStringLiteral("syncHistory remote failed, returning empty: "),
        QStringLiteral("syncDictionary remote failed, returning empty: "),
        QStringLiteral("listDictionary remote failed, falling back to local: "),
        QStringLiteral("upsertDictEntry remote failed, writing locally: "),
        QStringLiteral("upsertDictEntry remote failed, writing locally: "),
        QStringLiteral("deleteDictEntry remote failed, deleting locally: "),
        QStringLiteral("deleteDictEntry remote failed, deleting locally: "),
    };
    ASSERT_EQ(warnings().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(warnings()[i], expected[i] + error);
}

// The sync engine must see every failure, and an offline change to a record
// the server holds must not look saved.
TEST_F(DataSyncAPITest, OfflineChangesToServerRecordsAreRefusedNotFaked)
{
    cache.saveHistory({ historyItem(7, QStringLiteral("b")) });
    cache.saveDictionary({ dictEntry(4, QStringLiteral("server")) });
    DataSyncAPI api = client();
    offline(8);

    EXPECT_THROW(runBlocking(api.deleteHistoryRemotely(7)), NetworkError);
    EXPECT_THROW(
        runBlocking(api.appendHistory(QStringLiteral("C"), {}, {}, std::nullopt, std::nullopt, kWholeSecond)), NetworkError);
    EXPECT_THROW(runBlocking(api.syncHistorySince(0, 200)), NetworkError);
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(QStringLiteral("尚未同步")));
    EXPECT_TRUE(warnings().isEmpty());

    EXPECT_THROW(runBlocking(api.upsertDictEntry(4, QStringLiteral("renamed"), {}, {})), NetworkError);
    EXPECT_THROW(runBlocking(api.upsertDictEntry(std::nullopt, QStringLiteral("server"), QStringLiteral("x"), {})),
        NetworkError);
    EXPECT_THROW(runBlocking(api.upsertDictEntry(-5, QStringLiteral("server"), QStringLiteral("x"), {})), NetworkError);
    EXPECT_THROW(runBlocking(api.deleteDictEntry(4)), NetworkError);
    EXPECT_EQ(cache.loadHistory(), QList<HistoryItem> { historyItem(7, QStringLiteral("b")) });
    EXPECT_EQ(cache.loadDictionary(), QList<DictEntry> { dictEntry(4, QStringLiteral("server")) });
    EXPECT_EQ(api.currentConnection(), DataSyncConnection::local(kOfflineReason));
    EXPECT_EQ(warnings().size(), 4);
    EXPECT_TRUE(warnings().last().startsWith(QStringLiteral("deleteDictEntry remote failed, not deleted: ")));
}

TEST_F(DataSyncAPITest, TermsAreTrimmedAndCountedInUserPerceivedCharacters)
{
    struct Case {
        const char* name;
        QString term;
        std::optional<QString> refusal;
    };
    const std::array cases {
        Case { "blanks and a line break", QStringLiteral(" \n\t"), QStringLiteral("术语不能为空") },
        Case { "128 ideographs and a line break", QString(128, u'字') + QStringLiteral("\n"), std::nullopt },
        Case { "129 ideographs", QString(129, u'字'), QStringLiteral("术语过长（≤128）") },
        Case { "128 emoji with skin tones", QStringLiteral("👍🏽").repeated(128), std::nullopt },
        Case { "129 decomposed letters", QStringLiteral("e\u0301").repeated(129), QStringLiteral("术语过长（≤128）") },
    };
    DataSyncAPI api = client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.refusal) {
            const DataSyncConnection before = api.currentConnection();
            EXPECT_EQ(errorOf<DataSyncError>(api.upsertDictEntry(std::nullopt, c.term, {}, {})),
                      DataSyncError::invalidInput(*c.refusal));
            EXPECT_EQ(api.currentConnection(), before);
        } else {
            reply(200, ok(backendDict(1)));
            runBlocking(api.upsertDictEntry(std::nullopt, c.term, {}, {}));
            EXPECT_EQ(QJsonDocument::fromJson(
                          session->requests().last().body)[QStringLiteral("data")][QStringLiteral("term")],
                c.term.trimmed());
        }
    }
    EXPECT_EQ(session->requests().size(), 2);
}

TEST_F(DataSyncAPITest, TheOperationThatEndsLastSetsTheStateAndCallsOutliveTheirClient)
{
    auto api = std::make_unique<DataSyncAPI>(client());
    offline();
    reply(200, ok(R"({"entries":[]})"));
    session->held();
    QCoro::Task<QList<HistoryItem>> first = api->listHistory(5);
    QCoro::Task<QList<DictEntry>> second = api->listDictionary();
    runBlocking(std::move(first));
    EXPECT_EQ(api->currentConnection(), DataSyncConnection::local(kOfflineReason));
    session->release();
    runBlocking(std::move(second));
    EXPECT_EQ(api->currentConnection(), DataSyncConnection::remote());

    reply(200, ok(R"({"entries":[]})"));
    session->after(std::chrono::milliseconds(10));
    QCoro::Task<QList<DictEntry>> orphan = api->listDictionary();
    api.reset();
    EXPECT_TRUE(runBlocking(std::move(orphan)).isEmpty());
}

} // namespace
