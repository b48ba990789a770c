// The encrypted history store at its size limit of 500 live rows, on a real
// file in a temporary folder:
// - append: one record's payload encoded, sealed and upserted, then the
//   eviction back to 500 (the work of one dictation's history entry);
// - open: the database opened (schema and migration check) and the key
//   loaded from its file, as when the signed-in account's store is made;
// - read all: the 500 rows listed, opened and decoded, as the history panel asks;
// - panel query / panel list: the panel's page of 500 out of 20,000 live rows
//   (a store filled by a sync), the query alone and with every row opened and
//   decoded; "/0" as the store makes the file, "/1" with the index that serves
//   the live rows' filter and order dropped, as files were before it (the
//   floor and the figure it replaced, side by side). No statistics, as on a
//   user's machine.
// Times in milliseconds.
#include "History/HistoryPayload.h"
#include "History/HistoryRecord.h"
#include "Storage/DBKeyStore.h"
#include "Storage/EncryptedPayload.h"
#include "Storage/SQLiteAccountStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

using namespace vellamor;

namespace {

constexpr int kKeep = 500;
constexpr int kSyncedRows = 20'000;
const QString kAccount = QStringLiteral("ba7816bf");

HistoryRecord dictation(double createdAt)
{
    const QString text = QStringLiteral("今天下午三点在会议室讨论新版本的发布计划，请大家提前准备好材料。");
    return HistoryRecord(QUuid::createUuid(), text, text, std::nullopt, QStringLiteral("org.mozilla.Thunderbird"),
                         Date(createdAt), std::nullopt, std::nullopt, false, std::nullopt);
}

SQLiteAccountStore::RawRow sealedRow(const HistoryRecord& record, const QByteArray& key)
{
    return SQLiteAccountStore::RawRow(record.clientID(), record.createdAt, record.updatedAt, record.deletedAt,
                                      record.synced, record.serverId,
                                      EncryptedPayload::seal(HistoryPayload::of(record).toJson(), key));
}

void append(SQLiteAccountStore& store, const HistoryRecord& record, const QByteArray& key)
{
    store.upsert(sealedRow(record, key));
    store.evictOldest(kKeep);
}

struct FullStore {
    QTemporaryDir folder;
    QByteArray key = DBKeyStore(DBKeyStore::service(), folder.path()).loadOrCreateKey(kAccount);

    FullStore()
    {
        SQLiteAccountStore store(kAccount, folder.path());
        for (int i = 0; i < kKeep; ++i)
            append(store, dictation(1'700'000'000.0 + i), key);
    }
};

void BM_Append(benchmark::State& state)
{
    FullStore full;
    SQLiteAccountStore store(kAccount, full.folder.path());
    double createdAt = 1'800'000'000.0;
    for (auto _ : state)
        append(store, dictation(createdAt += 1.0), full.key);
    state.counters["live rows"] = static_cast<double>(store.count());
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

void BM_Open(benchmark::State& state)
{
    FullStore full;
    for (auto _ : state) {
        SQLiteAccountStore store(kAccount, full.folder.path());
        benchmark::DoNotOptimize(DBKeyStore(DBKeyStore::service(), full.folder.path()).loadOrCreateKey(kAccount));
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

void BM_ReadAll(benchmark::State& state)
{
    FullStore full;
    SQLiteAccountStore store(kAccount, full.folder.path());
    for (auto _ : state) {
        qsizetype decoded = 0;
        for (const auto& row : store.all())
            decoded += HistoryPayload::fromJson(EncryptedPayload::open(row.payload, full.key)).text.size() > 0;
        if (decoded != kKeep)
            state.SkipWithError("rows lost");
    }
}
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond);

// A store holding kSyncedRows live rows, written without eviction as a pull
// from the server does.
struct LargeStore {
    QTemporaryDir folder;
    QByteArray key = DBKeyStore(DBKeyStore::service(), folder.path()).loadOrCreateKey(kAccount);

    LargeStore()
    {
        SQLiteAccountStore store(kAccount, folder.path());
        for (int i = 0; i < kSyncedRows; ++i)
            store.upsert(sealedRow(dictation(1'700'000'000.0 + i), key));
    }

    // After the store is opened, which makes the index again.
    void dropLiveIndex() const
    {
        sqlite3* db = nullptr;
        const QString path = folder.path() + QStringLiteral("/accounts/") + kAccount + QStringLiteral(".db");
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "DROP INDEX IF EXISTS idx_history_live_created_at", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

template<typename Read>
void panelPage(benchmark::State& state, Read read)
{
    const bool withoutLiveIndex = state.range(0) != 0;
    LargeStore large;
    SQLiteAccountStore store(kAccount, large.folder.path());
    if (withoutLiveIndex)
        large.dropLiveIndex();
    for (auto _ : state) {
        if (read(store, large.key) != kKeep)
            state.SkipWithError("rows lost");
    }
}

void BM_PanelQuery(benchmark::State& state)
{
    panelPage(state, [](SQLiteAccountStore& store, const QByteArray&) { return store.list(kKeep, 0).size(); });
}
BENCHMARK(BM_PanelQuery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PanelList(benchmark::State& state)
{
    panelPage(state, [](SQLiteAccountStore& store, const QByteArray& key) {
        qsizetype decoded = 0;
        for (const auto& row : store.list(kKeep, 0))
            decoded += HistoryPayload::fromJson(EncryptedPayload::open(row.payload, key)).text.size() > 0;
        return decoded;
    });
}
BENCHMARK(BM_PanelList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
