#include "History/HistorySyncEngine.h"

#include "DataSync/RemoteHistoryItem.h"
#include "History/LocalHistoryStore.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vellamor {

namespace {

QCoro::Task<void> uploadOnce(std::shared_ptr<LocalHistoryStore> store, std::shared_ptr<DataSyncAPIProtocol> api,
                             HistoryRecord record, std::stop_token token)
{
    // The broadcaster tells of whatever any store appended, and a pull may
    // have brought the record in meanwhile.
    if (!co_await store->awaitsUpload(record.id))
        co_return;
    const AppendHistoryResult result
        = co_await api->appendHistory(record.clientID(), record.text, record.recognizedText, record.polishedText,
                                      record.sourceApp, record.createdAt, std::move(token));
    co_await store->markSynced(record.id, result.serverID, Date::fromUnixMicroseconds(result.updatedAtMicros));
}

QCoro::Task<void> deleteOnce(std::shared_ptr<LocalHistoryStore> store, std::shared_ptr<DataSyncAPIProtocol> api,
                             qint64 serverID, std::stop_token token)
{
    // Not deleteHistory: its local fallback would report success while the
    // cloud still holds the record.
    co_await api->deleteHistoryRemotely(serverID, std::move(token));
    co_await store->removeByServerID(serverID);
}

// Records are never edited, so a live copy from the cloud never outranks a
// deletion made here; the cursor can bring back records pulled or uploaded
// before the user deleted them, and merging those would undo the deletion.
QCoro::Task<QList<RemoteHistoryItem>> withoutLocalDeletions(std::shared_ptr<LocalHistoryStore> store,
                                                            QList<RemoteHistoryItem> items)
{
    const QList<LocalHistoryStore::PendingDelete> pending = co_await store->pendingDeletes();
    items.removeIf([&pending](const RemoteHistoryItem& item) {
        return !item.deletedAt && std::any_of(pending.begin(), pending.end(), [&item](const auto& deletion) {
            return deletion.serverID == item.id;
        });
    });
    co_return items;
}

} // namespace

HistorySyncEngine::Clock HistorySyncEngine::Clock::system()
{
    return Clock {
        [] { return Date::now(); },
        [](std::chrono::milliseconds duration, std::stop_token token) { return sleepFor(duration, std::move(token)); }};
}

std::vector<std::chrono::milliseconds> HistorySyncEngine::defaultBackoff()
{
    using std::chrono::seconds;
    return {seconds(1), seconds(2), seconds(4), seconds(8), seconds(30)};
}

VellamorLog HistorySyncEngine::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("history-sync"));
}

HistorySyncEngine::HistorySyncEngine(std::shared_ptr<DataSyncAPIProtocol> api,
                                     const std::shared_ptr<LocalHistoryStore>& store,
                                     std::shared_ptr<HistorySyncObserver> observer,
                                     std::vector<std::chrono::milliseconds> backoff, VellamorLog log, Clock clock,
                                     QObject* parent)
    : QObject(parent)
    , api_(std::move(api))
    , store_(store)
    , observer_(std::move(observer))
    , backoff_(backoff.empty() ? defaultBackoff() : std::move(backoff))
    , log_(std::move(log))
    , clock_(std::move(clock))
{
}

HistorySyncEngine::~HistorySyncEngine()
{
    appendsTask_.cancel();
    cancelAll();
}

void HistorySyncEngine::start(const std::shared_ptr<LocalHistoryStore>& store)
{
    if (store)
        store_ = store;
    if (started_)
        return;
    started_ = true;
    log_.info(QStringLiteral("engine started"));
    followAppends();
    syncNow();
}

void HistorySyncEngine::stop()
{
    if (!started_)
        return;
    started_ = false;
    ++generation_;
    std::exchange(appendsTask_, {}).cancel();
    cancelAll();
    observer_->inProgress_.set(false);
    log_.info(QStringLiteral("engine stopped"));
}

void HistorySyncEngine::setCloudSyncEnabled(bool enabled)
{
    if (cloudSyncEnabled_ == enabled)
        return;
    cloudSyncEnabled_ = enabled;
    log_.info(enabled ? QStringLiteral("cloud sync on") : QStringLiteral("cloud sync off"));
    if (!enabled && started_) {
        ++generation_;
        cancelAll();
        observer_->inProgress_.set(false);
    }
}

void HistorySyncEngine::syncNow()
{
    if (!started_ || !cloudSyncEnabled_ || syncTask_)
        return;
    const std::uint64_t generation = generation_;
    TaskHandle task = TaskHandle::start([self = Self(this), generation](std::stop_token token) {
        return fullSync(self, generation, std::move(token));
    });
    if (!task.isFinished())
        syncTask_ = Registration {task, generation};
}

void HistorySyncEngine::followAppends()
{
    const std::shared_ptr<LocalHistoryStore> store = store_.lock();
    if (!store || !store->broadcaster())
        return;
    // Subscribed now: an event published before the task first waits is kept.
    auto appends = std::make_shared<HistoryChangeStream>(store->broadcaster()->subscribe());
    appendsTask_ = TaskHandle::start([self = Self(this), appends](std::stop_token token) {
        return uploadAppends(self, appends, std::move(token));
    });
}

QCoro::Task<void> HistorySyncEngine::uploadAppends(Self self, std::shared_ptr<HistoryChangeStream> appends,
                                                   std::stop_token token)
{
    for (;;) {
        const std::optional<HistoryChangeEvent> event = co_await appends->next(token);
        // A stop, also one followed by a start within the same turn, drops
        // what was published before it.
        if (!event || !self || token.stop_requested())
            co_return;
        if (event->kind() == HistoryChangeEvent::Kind::appended && !event->record()->synced)
            self->enqueueAppend(*event->record());
    }
}

void HistorySyncEngine::enqueueAppend(const HistoryRecord& record)
{
    startLoop(&HistorySyncEngine::inflightUploads_, record.clientID(), QStringLiteral("append"),
              [api = api_, record](std::shared_ptr<LocalHistoryStore> store, std::stop_token stop) {
                  return uploadOnce(std::move(store), api, record, std::move(stop));
              });
}

void HistorySyncEngine::enqueueDelete(qint64 serverID)
{
    startLoop(&HistorySyncEngine::inflightDeletes_, serverID, QStringLiteral("delete"),
              [api = api_, serverID](std::shared_ptr<LocalHistoryStore> store, std::stop_token stop) {
                  return deleteOnce(std::move(store), api, serverID, std::move(stop));
              });
}

template<typename Key>
void HistorySyncEngine::startLoop(Registrations<Key> HistorySyncEngine::*registrations, const Key& key,
                                  const QString& label, Attempt attempt)
{
    if (!started_ || !cloudSyncEnabled_ || store_.expired() || (this->*registrations).count(key))
        return;
    TaskHandle task = TaskHandle::start(
        [self = Self(this), registrations, key, label, generation = generation_, attempt](std::stop_token token) {
            return loop(self, registrations, key, label, generation, attempt, std::move(token));
        });
    // A loop that ended before its first suspension has nothing to forget later.
    if (!task.isFinished())
        (this->*registrations)[key] = Registration {std::move(task), generation_};
}

void HistorySyncEngine::cancelAll()
{
    for (const auto& [key, registration] : inflightUploads_)
        registration.task.cancel();
    for (const auto& [key, registration] : inflightDeletes_)
        registration.task.cancel();
    inflightUploads_.clear();
    inflightDeletes_.clear();
    if (syncTask_)
        syncTask_->task.cancel();
    syncTask_.reset();
}

void HistorySyncEngine::finishSync(std::uint64_t generation, bool pulled)
{
    if (isCurrent(generation)) {
        if (pulled)
            observer_->lastSyncAt_.set(clock_.now());
        observer_->inProgress_.set(false);
    }
    if (syncTask_ && syncTask_->generation == generation)
        syncTask_.reset();
}

QCoro::Task<void> HistorySyncEngine::fullSync(Self self, std::uint64_t generation, std::stop_token token)
{
    self->observer_->inProgress_.set(true);
    bool pulled = false;
    try {
        if (const std::shared_ptr<LocalHistoryStore> store = self->store_.lock()) {
            pulled = co_await pull(self, store, token);
            // A sync that a stop overtook starts nothing: its store may
            // already be another account's.
            if (self && self->isCurrent(generation)) {
                const QList<HistoryRecord> uploads = co_await store->pendingUploads();
                for (const HistoryRecord& record : uploads) {
                    if (self && self->isCurrent(generation))
                        self->enqueueAppend(record);
                }
            }
            if (self && self->isCurrent(generation)) {
                const QList<LocalHistoryStore::PendingDelete> deletes = co_await store->pendingDeletes();
                for (const LocalHistoryStore::PendingDelete& deletion : deletes) {
                    if (self && self->isCurrent(generation))
                        self->enqueueDelete(deletion.serverID);
                }
            }
        }
    } catch (...) {
        pulled = false;
        if (self)
            self->log_.error(QStringLiteral("full sync failed: ") + describeException(std::current_exception()));
    }
    if (self)
        self->finishSync(generation, pulled);
}

QCoro::Task<bool> HistorySyncEngine::pull(Self self, std::shared_ptr<LocalHistoryStore> store, std::stop_token token)
{
    const std::shared_ptr<DataSyncAPIProtocol> api = self->api_;
    qint64 cursor = co_await store->pullCursor();
    for (int page = 1;; ++page) {
        HistorySyncSinceResponse response;
        try {
            response = co_await api->syncHistorySince(cursor, pageLimit, token);
        } catch (...) {
            if (self)
                self->log_.warn(QStringLiteral("pull failed: ") + describeException(std::current_exception()));
            co_return false;
        }
        if (!self)
            co_return false;
        cursor = response.nextSinceUpdatedAtMicros;
        // An empty page ends the pull even when it claims more would follow.
        if (response.items.isEmpty())
            break;
        co_await store->mergeFromRemote(co_await withoutLocalDeletions(store, std::move(response.items)));
        if (!response.hasMore || page == maxPagesPerSync)
            break;
    }
    co_await store->setPullCursor(cursor);
    co_return true;
}

template<typename Key>
QCoro::Task<void> HistorySyncEngine::loop(Self self, Registrations<Key> HistorySyncEngine::*registrations, Key key,
                                          QString label, std::uint64_t generation, Attempt attempt,
                                          std::stop_token token)
{
    const std::shared_ptr<LocalHistoryStore> store = self->store_.lock();
    for (std::size_t number = 0; store && !token.stop_requested() && self && self->isCurrent(generation); ++number) {
        try {
            co_await attempt(store, token);
            break;
        } catch (...) {
            if (!self)
                co_return;
            self->log_.warn(label + QStringLiteral(" retry ") + QString::number(number) + QStringLiteral(": ")
                            + describeException(std::current_exception()));
        }
        const auto wait = self->backoff_[std::min(number, self->backoff_.size() - 1)];
        const auto sleep = self->clock_.sleep;
        if (!co_await sleep(wait, token))
            break;
    }
    if (!self)
        co_return;
    // The registration under `key` may be a newer generation's by now.
    auto& own = self->*registrations;
    const auto found = own.find(key);
    if (found != own.end() && found->second.generation == generation)
        own.erase(found);
}

} // namespace vellamor
