#pragma once

#include "DataSync/DataSyncAPIProtocol.h"
#include "DataSync/DataSyncError.h"
#include "Support/Async/Channel.h"
#include "Support/Error.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vellamor::test {

// The sync engine's three calls, answered as a test says: an append gets
// the next server id and a rising update time, a pull the page `pages`
// gives, a delete nothing. Each call is logged as "append <client id>",
// "sync <cursor>" or "delete <server id>".
class FakeDataSyncAPI final : public DataSyncAPIProtocol {
public:
    QStringList calls;
    QList<AppendHistoryResult> appended;
    // Failures still to come per kind ("append", "sync", "delete"), each transport("HTTP 503").
    QHash<QString, int> failures;
    // What the dictionary list answers.
    QList<DictEntry> dictionary;
    std::function<HistorySyncSinceResponse(qint64 cursor)> pages = [](qint64 cursor) {
        return HistorySyncSinceResponse {{}, cursor, false};
    };
    // Calls of this kind wait, once logged, for release() or for their stop
    // request (then they fail with CancellationError).
    std::optional<QString> holdCalls;

    void release()
    {
        for (const Channel<bool>& gate : std::exchange(gates_, {}))
            gate.push(true);
    }

    QCoro::Task<AppendHistoryResult> appendHistory(QString clientID, QString, QString, std::optional<QString>,
                                                   std::optional<QString>, Date, std::stop_token stop) override
    {
        co_await enter(QStringLiteral("append"), clientID, stop);
        appended.append(AppendHistoryResult {nextID_++, clientID, updatedMicros_ += 1000});
        co_return appended.last();
    }

    QCoro::Task<HistorySyncSinceResponse> syncHistorySince(qint64 sinceUpdatedAtMicros, std::optional<int>,
                                                           std::stop_token stop) override
    {
        co_await enter(QStringLiteral("sync"), QString::number(sinceUpdatedAtMicros), stop);
        co_return pages(sinceUpdatedAtMicros);
    }

    QCoro::Task<void> deleteHistoryRemotely(qint64 id, std::stop_token stop) override
    {
        co_await enter(QStringLiteral("delete"), QString::number(id), stop);
    }

    QCoro::Task<QList<HistoryItem>> listHistory(int) override { throw unused(); }
    QCoro::Task<void> deleteHistory(qint64) override { throw unused(); }
    QCoro::Task<HistorySyncResponse> syncHistory(qint64, std::optional<int>) override { throw unused(); }
    QCoro::Task<QList<DictEntry>> listDictionary() override
    {
        calls.append(QStringLiteral("dictionary"));
        co_return QList<DictEntry>(dictionary);
    }
    QCoro::Task<DictEntry> upsertDictEntry(std::optional<qint64>, QString, QString, QString) override
    {
        throw unused();
    }
    QCoro::Task<void> deleteDictEntry(qint64) override { throw unused(); }
    QCoro::Task<DictionarySyncResponse> syncDictionary(qint64, std::optional<int>) override { throw unused(); }
    DataSyncConnection currentConnection() const override { return DataSyncConnection::remote(); }

private:
    static DataSyncError unused() { return DataSyncError::transport(QStringLiteral("not served by the fake")); }

    QCoro::Task<void> enter(QString kind, QString argument, std::stop_token stop)
    {
        calls.append(kind + QLatin1Char(' ') + argument);
        if (holdCalls == kind) {
            const Channel<bool> gate;
            gates_.push_back(gate);
            if (!co_await gate.next(stop))
                throw CancellationError();
        }
        if (failures.value(kind) > 0) {
            --failures[kind];
            throw DataSyncError::transport(QStringLiteral("HTTP 503"));
        }
    }

    std::vector<Channel<bool>> gates_;
    qint64 nextID_ = 1;
    qint64 updatedMicros_ = 1772352000000000;
};

} // namespace vellamor::test
