#pragma once

#include "DataSync/DataSyncAPIProtocol.h"
#include "History/HistoryChangeStream.h"
#include "History/HistoryRecord.h"
#include "History/HistorySyncObserver.h"
#include "Logging/VellamorLog.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "Support/Date.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace vellamor {

class LocalHistoryStore;

// Keeps a signed-in account's local history and the cloud history in step,
// while the account has cloud sync on.
// Records dictated here are uploaded, local deletions of records the cloud
// knows are sent, and what changed in the cloud since the account's pull
// cursor is merged in. While started, the engine follows its store's
// broadcaster and uploads each record appended unsynced; a record of another
// store, or one synced by the time its upload begins, is not sent. Uploads
// and deletions are background tasks, one per record and one per server id,
// that retry without limit (waits from the back-off list by attempt, the
// last repeating) until they succeed or the engine stops; a full sync
// pulls, then starts those tasks for whatever the store still has pending.
// There is no periodic sync: a full sync runs when the engine starts and on
// syncNow().
//
// The pull cursor only moves with pulls: records uploaded from here come
// back with the next pull, which is what keeps another device's records
// with earlier update times from being skipped.
//
// Holds its store weakly and is held weakly by its tasks. Every task
// carries the generation it was started in (each stop begins a new one): a
// task of an earlier generation neither forgets a newer task's registration
// nor writes the observer. Lives on the main thread; no operation suspends.
class HistorySyncEngine final : public QObject {
public:
    // The engine's time: the wall clock for the last-sync time, and waits
    // that return false when cut short by a stop request.
    struct Clock {
        std::function<Date()> now;
        SleepFunction sleep;

        static Clock system();
    };

    static constexpr int pageLimit = 200;
    static constexpr int maxPagesPerSync = 50;

    // 1, 2, 4, 8 and 30 s.
    static std::vector<std::chrono::milliseconds> defaultBackoff();
    // Subsystem "com.vellamor.app", category "history-sync".
    static VellamorLog defaultLog();

    // Nothing starts. An empty back-off list means the default one.
    HistorySyncEngine(std::shared_ptr<DataSyncAPIProtocol> api, const std::shared_ptr<LocalHistoryStore>& store,
                      std::shared_ptr<HistorySyncObserver> observer,
                      std::vector<std::chrono::milliseconds> backoff = {}, VellamorLog log = defaultLog(),
                      Clock clock = Clock::system(), QObject* parent = nullptr);
    // Cancels every task; they end on a later turn without touching the engine.
    ~HistorySyncEngine() override;

    const std::shared_ptr<HistorySyncObserver>& publisher() const { return observer_; }
    bool isStarted() const { return started_; }

    // A given store replaces the one held. Only from the stopped state: logs
    // "engine started", follows the store's broadcaster from now on and runs
    // a full sync.
    void start(const std::shared_ptr<LocalHistoryStore>& store = nullptr);
    // When started: stops following the broadcaster (an event published
    // before is dropped), cancels every task, clears the observer's
    // inProgress and logs "engine stopped". The store stays held.
    void stop();
    // A full sync, unless stopped, cloud sync is off or one is already
    // running. Returns at once.
    void syncNow();
    // Whether the account keeps its history in the cloud (on until told).
    // While off nothing is uploaded, deleted remotely or pulled; turning it
    // off ends what runs. Turning it on starts nothing by itself.
    void setCloudSyncEnabled(bool enabled);
    bool isCloudSyncEnabled() const { return cloudSyncEnabled_; }
    // Uploads the record, when started, while the store is there and no
    // upload of it runs. A record this store does not hold as pending (one
    // of another account's store, or one synced meanwhile) is not sent.
    void enqueueAppend(const HistoryRecord& record);
    // Asks the cloud to delete the record, under the same conditions.
    void enqueueDelete(qint64 serverID);

private:
    using Self = QPointer<HistorySyncEngine>;
    // One attempt of a retry loop on the store; throws when it failed.
    using Attempt = std::function<QCoro::Task<void>(std::shared_ptr<LocalHistoryStore>, std::stop_token)>;

    struct Registration {
        TaskHandle task;
        std::uint64_t generation = 0;
    };
    template<typename Key>
    using Registrations = std::map<Key, Registration>;

    bool isCurrent(std::uint64_t generation) const { return started_ && generation == generation_; }
    void followAppends();
    void finishSync(std::uint64_t generation, bool pulled);
    void cancelAll();
    // Starts a retry loop registered under `key`, when started, while the
    // store is there and no loop runs for the key.
    template<typename Key>
    void startLoop(Registrations<Key> HistorySyncEngine::*registrations, const Key& key, const QString& label,
                   Attempt attempt);

    static QCoro::Task<void> uploadAppends(Self self, std::shared_ptr<HistoryChangeStream> appends,
                                           std::stop_token token);
    static QCoro::Task<void> fullSync(Self self, std::uint64_t generation, std::stop_token token);
    // True when it ended without a failed request; then the cursor moved.
    static QCoro::Task<bool> pull(Self self, std::shared_ptr<LocalHistoryStore> store, std::stop_token token);
    // Runs `attempt` on the store until it succeeds, the task is cancelled
    // or the engine moves past `generation`; each failure logs `label` +
    // " retry " + the attempt number + ": " + the error, then waits. Then
    // forgets its own registration.
    template<typename Key>
    static QCoro::Task<void> loop(Self self, Registrations<Key> HistorySyncEngine::*registrations, Key key,
                                  QString label, std::uint64_t generation, Attempt attempt, std::stop_token token);

    std::shared_ptr<DataSyncAPIProtocol> api_;
    std::weak_ptr<LocalHistoryStore> store_;
    std::shared_ptr<HistorySyncObserver> observer_;
    std::vector<std::chrono::milliseconds> backoff_;
    VellamorLog log_;
    Clock clock_;
    Registrations<QString> inflightUploads_;
    Registrations<qint64> inflightDeletes_;
    std::optional<Registration> syncTask_;
    // Follows the broadcaster from start to stop; cloud sync turned off
    // leaves it running.
    TaskHandle appendsTask_;
    bool started_ = false;
    bool cloudSyncEnabled_ = true;
    std::uint64_t generation_ = 0;
};

} // namespace vellamor
