#pragma once

#include "DataSync/DataSyncAPIProtocol.h"
#include "DataSync/DataSyncError.h"
#include "Support/Async/Channel.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <QHash>
#include <QStringList>

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vellamor::test {

// The sync engine's three calls, answered as a test says: an append gets
// the next server id and a rising update time, a pull the page `pages`
// gives, a delete nothing. Each call is logged as "append <client id>",
// "sync <cursor>" or "delete <server id>".
//
// The dictionary calls ("dict.list", "dict.upsert <id|nil> <term>|<replacement>|<note>",
// "dict.delete <id>") list `dictionary` and save with new ids from 101,
// each after the next answer scripted for its kind, if any.
class FakeDataSyncAPI final : public DataSyncAPIProtocol {
public:
    // Waited through `sleep`, then `error` thrown or `entries` listed in place
    // of `dictionary`. The connection from then on: `connection`, else remote
    // after a success.
    struct DictAnswer {
        std::chrono::milliseconds delay{0};
        std::exception_ptr error;
        std::optional<QList<DictEntry>> entries;
        std::optional<DataSyncConnection> connection;
    };

    QList<DictEntry> dictionary;
    // What cachedDictionary() reads, before any call.
    QList<DictEntry> cachedEntries;
    QHash<QString, std::deque<DictAnswer>> dictAnswers;
    DataSyncConnection connection = DataSyncConnection::local(QStringLiteral("尚未同步"));
    SleepFunction sleep = sleepFor;

    QStringList calls;
    QList<AppendHistoryResult> appended;
    // Failures still to come per kind ("append", "sync", "delete"), each transport("HTTP 503").
    QHash<QString, int> failures;
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
        calls.append(QStringLiteral("dict.list"));
        const DictAnswer answer = co_await answerFor(QStringLiteral("dict.list"));
        co_return answer.entries.value_or(dictionary);
    }

    QList<DictEntry> cachedDictionary() const override { return cachedEntries; }

    QCoro::Task<DictEntry> upsertDictEntry(std::optional<qint64> id, QString term, QString replacement,
                                           QString note) override
    {
        calls.append(QStringLiteral("dict.upsert %1 %2|%3|%4")
                         .arg(id ? QString::number(*id) : QStringLiteral("nil"), term, replacement, note));
        co_await answerFor(QStringLiteral("dict.upsert"));
        co_return DictEntry {id.value_or(nextDictID_++), term, replacement, note, Date(), Date()};
    }

    QCoro::Task<void> deleteDictEntry(qint64 id) override
    {
        calls.append(QStringLiteral("dict.delete %1").arg(id));
        co_await answerFor(QStringLiteral("dict.delete"));
    }

    QCoro::Task<DictionarySyncResponse> syncDictionary(qint64, std::optional<int>) override { throw unused(); }
    DataSyncConnection currentConnection() const override { return connection; }

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

    // Waits out the next answer scripted for `kind` (none: an immediate
    // success), applies its connection and throws its error.
    QCoro::Task<DictAnswer> answerFor(QString kind)
    {
        std::deque<DictAnswer>& queue = dictAnswers[kind];
        const DictAnswer answer = queue.empty() ? DictAnswer() : queue.front();
        if (!queue.empty())
            queue.pop_front();
        if (answer.delay.count() > 0)
            co_await sleep(answer.delay, {});
        connection = answer.connection.value_or(answer.error ? connection : DataSyncConnection::remote());
        if (answer.error)
            std::rethrow_exception(answer.error);
        co_return answer;
    }

    std::vector<Channel<bool>> gates_;
    qint64 nextDictID_ = 101;
    qint64 nextID_ = 1;
    qint64 updatedMicros_ = 1772352000000000;
};

} // namespace vellamor::test
