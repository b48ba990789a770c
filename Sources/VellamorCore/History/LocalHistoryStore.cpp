#include "History/LocalHistoryStore.h"

#include "DataSync/RemoteHistoryItem.h"
#include "History/HistoryPayload.h"
#include "History/LegacyJSONMigrator.h"
#include "Storage/DBKeyStore.h"
#include "Storage/EncryptedPayload.h"
#include "Storage/UserIDHash.h"
#include "Support/Error.h"
#include "Support/UuidText.h"

#include <exception>
#include <utility>

namespace vellamor {

namespace {

void publish(const std::shared_ptr<HistoryChangeBroadcaster>& broadcaster, const HistoryChangeEvent& event)
{
    if (broadcaster)
        broadcaster->publish(event);
}

} // namespace

LocalHistoryStore::LocalHistoryStore(QString account, std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                     std::optional<QString> baseDirectory, std::shared_ptr<DBKeyStore> keyStore,
                                     VellamorLog log)
    : account_(std::move(account))
    , broadcaster_(std::move(broadcaster))
    , log_(std::move(log))
    , worker_(QStringLiteral("vellamor-history"))
{
    try {
        store_ = std::make_unique<SQLiteAccountStore>(account_, baseDirectory);
        if (const std::optional<QString>& aside = store_->setAsidePath())
            log_.error(QStringLiteral("db damaged, moved aside and started afresh: ") + *aside
                       + QStringLiteral("; account=") + account_);
    } catch (...) {
        log_.warn(QStringLiteral("db open failed: ") + describeException(std::current_exception())
                  + QStringLiteral("; account=") + account_);
    }
    if (!keyStore)
        keyStore = std::make_shared<DBKeyStore>(DBKeyStore::service(), baseDirectory);
    try {
        key_ = keyStore->loadOrCreateKey(account_);
    } catch (...) {
        log_.warn(QStringLiteral("db key load failed: ") + describeException(std::current_exception())
                  + QStringLiteral("; account=") + account_);
    }
}

LocalHistoryStore::~LocalHistoryStore() = default;

std::shared_ptr<LocalHistoryStore> LocalHistoryStore::forUser(const QString& userID,
                                                              std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                                              std::optional<QString> baseDirectory)
{
    const QString account = userID.isEmpty() ? UserIDHash::anonymous() : UserIDHash::hash8(userID);
    return std::make_shared<LocalHistoryStore>(account, std::move(broadcaster), std::move(baseDirectory));
}

std::shared_ptr<LocalHistoryStore> LocalHistoryStore::anonymous(std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                                                std::optional<QString> baseDirectory)
{
    return std::make_shared<LocalHistoryStore>(UserIDHash::anonymous(), std::move(broadcaster),
                                               std::move(baseDirectory));
}

std::shared_ptr<LocalHistoryStore>
LocalHistoryStore::defaultStore(std::shared_ptr<HistoryChangeBroadcaster> broadcaster)
{
    return anonymous(std::move(broadcaster));
}

VellamorLog LocalHistoryStore::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("local-history-store"));
}

QCoro::Task<void> LocalHistoryStore::migrateLegacyJSONIfNeeded()
{
    if (account_ == UserIDHash::anonymous() || !store_ || !key_)
        co_return;
    auto work = worker_.run([this] {
        LegacyJSONMigrator::runIfNeeded(std::nullopt, [this](const HistoryRecord& record) {
            attempt(QStringLiteral("migrate row failed: "), [&] { store_->upsert(encodeRow(record)); });
        });
    });
    co_await std::move(work);
}

QCoro::Task<void> LocalHistoryStore::close()
{
    auto work = worker_.run([this] {
        if (store_)
            store_->close();
    });
    co_await std::move(work);
}

QCoro::Task<QList<HistoryRecord>> LocalHistoryStore::all()
{
    auto work = worker_.run(
        [this] { return records(QStringLiteral("all() failed: "), [this] { return store_->all(); }); });
    co_return co_await std::move(work);
}

QCoro::Task<QList<HistoryRecord>> LocalHistoryStore::list(qint64 limit, qint64 offset)
{
    auto work = worker_.run([this, limit, offset] {
        return records(QStringLiteral("list() failed: "), [&] { return store_->list(limit, offset); });
    });
    co_return co_await std::move(work);
}

QCoro::Task<QList<HistoryRecord>> LocalHistoryStore::unsynced()
{
    auto work = worker_.run(
        [this] { return records(QStringLiteral("unsynced() failed: "), [this] { return store_->unsynced(); }); });
    co_return co_await std::move(work);
}

QCoro::Task<HistoryRecord> LocalHistoryStore::append(HistoryRecord record)
{
    if (!store_ || !key_) {
        log_.warn(QStringLiteral("append ignored: no store/key"));
        co_return record;
    }
    // Only locals after the wait: the store may be gone by then.
    const auto broadcaster = broadcaster_;
    auto work = worker_.run([this, record] {
        return attempt(QStringLiteral("append failed: "), [&] {
            store_->upsert(encodeRow(record));
            store_->evictOldest(maxRecords);
        });
    });
    if (co_await std::move(work))
        publish(broadcaster, HistoryChangeEvent::appended(record));
    co_return record;
}

QCoro::Task<void> LocalHistoryStore::deleteRecord(QUuid id)
{
    const auto broadcaster = broadcaster_;
    auto work = worker_.run(
        [this, id] { return attempt(QStringLiteral("delete failed: "), [&] { store_->deleteRow(uuidString(id)); }); });
    if (co_await std::move(work))
        publish(broadcaster, HistoryChangeEvent::deleted(id));
}

QCoro::Task<void> LocalHistoryStore::clear()
{
    const auto broadcaster = broadcaster_;
    auto work = worker_.run([this] { return attempt(QStringLiteral("clear failed: "), [this] { store_->clear(); }); });
    if (co_await std::move(work))
        publish(broadcaster, HistoryChangeEvent::cleared());
}

QCoro::Task<void> LocalHistoryStore::markSynced(QUuid id, std::optional<qint64> serverId)
{
    auto work = worker_.run([this, id, serverId] {
        attempt(QStringLiteral("markSynced failed: "), [&] { store_->markSynced(uuidString(id), serverId); });
    });
    co_await std::move(work);
}

QCoro::Task<void> LocalHistoryStore::markSynced(QUuid localID, qint64 serverID, Date updatedAt)
{
    auto work = worker_.run([this, localID, serverID, updatedAt] {
        attempt(QStringLiteral("markSynced(updatedAt) failed: "),
                [&] { store_->markSyncedWithUpdatedAt(uuidString(localID), serverID, updatedAt); });
    });
    co_await std::move(work);
}

QCoro::Task<bool> LocalHistoryStore::softDelete(QUuid id)
{
    const auto broadcaster = broadcaster_;
    auto work = worker_.run([this, id] {
        const QString rowID = uuidString(id);
        std::optional<SQLiteAccountStore::RawRow> row;
        if (!attempt(QStringLiteral("softDelete find failed: "), [&] { row = store_->find(rowID); }) || !row)
            return false;
        return attempt(QStringLiteral("softDelete failed: "), [&] {
            // Only a record the cloud holds needs a tombstone for the sync to find.
            if (row->synced)
                store_->softDelete(rowID, Date::now());
            else
                store_->deleteRow(rowID);
        });
    });
    const bool done = co_await std::move(work);
    if (done)
        publish(broadcaster, HistoryChangeEvent::deleted(id));
    co_return done;
}

QCoro::Task<void> LocalHistoryStore::removeByServerID(qint64 serverID)
{
    auto work = worker_.run([this, serverID] {
        attempt(QStringLiteral("removeByServerID failed: "), [&] { store_->deleteByServerID(serverID); });
    });
    co_await std::move(work);
}

QCoro::Task<QList<HistoryRecord>> LocalHistoryStore::pendingUploads()
{
    auto work = worker_.run(
        [this] { return records(QStringLiteral("pendingUploads failed: "), [this] { return store_->unsynced(); }); });
    co_return co_await std::move(work);
}

QCoro::Task<QList<LocalHistoryStore::PendingDelete>> LocalHistoryStore::pendingDeletes()
{
    auto work = worker_.run([this] {
        QList<SQLiteAccountStore::RawRow> rows;
        attempt(QStringLiteral("pendingDeletes failed: "), [&] { rows = store_->pendingDeletes(); });
        QList<PendingDelete> pending;
        // Without a server id the cloud cannot be asked to delete anything.
        for (const auto& row : rows) {
            if (row.serverId && row.deletedAt)
                pending.push_back({*row.serverId, *row.deletedAt});
        }
        return pending;
    });
    co_return co_await std::move(work);
}

QCoro::Task<std::optional<Date>> LocalHistoryStore::latestUpdatedAt()
{
    auto work = worker_.run([this] {
        std::optional<Date> latest;
        attempt(QStringLiteral("latestUpdatedAt failed: "), [&] { latest = store_->latestUpdatedAt(); });
        return latest;
    });
    co_return co_await std::move(work);
}

QCoro::Task<bool> LocalHistoryStore::awaitsUpload(QUuid id)
{
    auto work = worker_.run([this, id] {
        std::optional<SQLiteAccountStore::RawRow> row;
        attempt(QStringLiteral("awaitsUpload failed: "), [&] { row = store_->find(uuidString(id)); });
        return row && !row->synced && !row->deletedAt;
    });
    co_return co_await std::move(work);
}

QCoro::Task<qint64> LocalHistoryStore::pullCursor()
{
    auto work = worker_.run([this] {
        std::optional<qint64> cursor;
        attempt(QStringLiteral("pullCursor failed: "), [&] { cursor = store_->pullCursor(); });
        return cursor.value_or(0);
    });
    co_return co_await std::move(work);
}

QCoro::Task<void> LocalHistoryStore::setPullCursor(qint64 micros)
{
    auto work = worker_.run([this, micros] {
        attempt(QStringLiteral("setPullCursor failed: "), [&] { store_->setPullCursor(micros); });
    });
    co_await std::move(work);
}

QCoro::Task<void> LocalHistoryStore::mergeFromRemote(QList<RemoteHistoryItem> items)
{
    if (!store_ || !key_)
        co_return;
    const auto broadcaster = broadcaster_;
    auto work = worker_.run([this, items = std::move(items)] {
        QList<HistoryRecord> written;
        for (const RemoteHistoryItem& item : items) {
            if (item.deletedAt) {
                attempt(QStringLiteral("merge tombstone failed: "), [&] { store_->deleteByServerID(item.id); });
                continue;
            }
            HistoryRecord record(resolveLocalID(item), item.text, item.recognizedText, item.polishedText,
                                 item.sourceApp, item.createdAt, item.updatedAt, std::nullopt, true, item.id);
            if (attempt(QStringLiteral("merge upsert failed: "), [&] { store_->upsert(encodeRow(record)); }))
                written.push_back(std::move(record));
        }
        return written;
    });
    const QList<HistoryRecord> merged = co_await std::move(work);
    for (const HistoryRecord& record : merged)
        publish(broadcaster, HistoryChangeEvent::appended(record));
}

QCoro::Task<void> LocalHistoryStore::flush()
{
    auto work = worker_.run([] {});
    co_await std::move(work);
}

SQLiteAccountStore::RawRow LocalHistoryStore::encodeRow(const HistoryRecord& record) const
{
    return SQLiteAccountStore::RawRow(record.clientID(), record.createdAt, record.updatedAt, record.deletedAt,
                                      record.synced, record.serverId,
                                      EncryptedPayload::seal(HistoryPayload::of(record).toJson(), *key_));
}

std::optional<HistoryRecord> LocalHistoryStore::decodeRow(const SQLiteAccountStore::RawRow& row) const
{
    const auto id = parseUuid(row.id);
    if (!id)
        return std::nullopt;
    try {
        HistoryPayload payload = HistoryPayload::fromJson(EncryptedPayload::open(row.payload, *key_));
        return HistoryRecord(*id, std::move(payload.text), std::move(payload.recognizedText),
                             std::move(payload.polishedText), std::move(payload.sourceApp), row.createdAt,
                             row.updatedAt, row.deletedAt, row.synced, row.serverId);
    } catch (const Error&) {
        return std::nullopt;
    }
}

template<typename Operation>
bool LocalHistoryStore::attempt(const QString& failurePrefix, Operation operation) const
{
    if (!store_)
        return false;
    try {
        operation();
        return true;
    } catch (...) {
        log_.warn(failurePrefix + describeException(std::current_exception()));
        return false;
    }
}

template<typename Query>
QList<HistoryRecord> LocalHistoryStore::records(const QString& failurePrefix, Query query) const
{
    QList<SQLiteAccountStore::RawRow> rows;
    if (!key_ || !attempt(failurePrefix, [&] { rows = query(); }))
        return {};
    QList<HistoryRecord> decoded;
    decoded.reserve(rows.size());
    for (const auto& row : rows) {
        if (auto record = decodeRow(row))
            decoded.push_back(std::move(*record));
    }
    return decoded;
}

QUuid LocalHistoryStore::resolveLocalID(const RemoteHistoryItem& item)
{
    // A record this device uploaded comes back under its own id.
    if (item.clientID) {
        if (const auto parsed = parseUuid(*item.clientID))
            return *parsed;
    }
    // The same server id always gives the same id, so pulling it again
    // writes the same row. The server id's two top bits give way to the
    // version and variant bits.
    QByteArray bytes(16, '\0');
    const auto serverID = static_cast<quint64>(item.id);
    for (int index = 0; index < 8; ++index)
        bytes[8 + index] = static_cast<char>((serverID >> (56 - 8 * index)) & 0xFF);
    bytes[6] = 0x40;
    bytes[8] = static_cast<char>((static_cast<quint8>(bytes[8]) & 0x3F) | 0x80);
    return QUuid::fromRfc4122(bytes);
}

} // namespace vellamor
