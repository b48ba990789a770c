#include "DataSync/DataSyncAPI.h"

#include "DataSync/BackendDictEntry.h"
#include "DataSync/BackendHistoryEntry.h"
#include "DataSync/LocalDataStore.h"
#include "Networking/APIResponseEnvelope.h"
#include "Networking/AnyEncodable.h"
#include "Networking/AuthUnauthorizedReason.h"
#include "Networking/BearerActionCall.h"
#include "Networking/EmptyData.h"
#include "Networking/JsonCoding.h"
#include "Support/Async/Outcome.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonWriter.h"
#include "Support/TextGraphemes.h"

#include <QJsonObject>

#include <algorithm>
#include <exception>
#include <type_traits>
#include <utility>

namespace vellamor {

namespace {

constexpr int maxListLimit = 200;
constexpr int defaultSyncLimit = 100;
constexpr qsizetype maxTermLength = 128;

// The answer data of "history.list" and "dictionary.list": "entries"
// absent or null is no entries.
template<typename BackendEntry>
struct ListAnswer {
    QList<BackendEntry> entries;

    static ListAnswer fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        if (!reader.hasValue(u"entries"))
            return {};
        return ListAnswer{
            JsonCoding<QList<BackendEntry>>::decode(reader.value(u"entries"), reader.pathFor(u"entries"))};
    }
};

struct AppendAnswer {
    qint64 id = 0;
    std::optional<QString> clientID;
    qint64 updatedAtMicros = 0;

    static AppendAnswer fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return AppendAnswer{reader.requireInt64(u"id"), reader.optionalString(u"client_id"),
                            reader.requireInt64(u"updated_at")};
    }
};

struct SyncSinceAnswer {
    std::optional<QList<RemoteHistoryItem>> items;
    std::optional<qint64> nextSinceUpdatedAt;
    std::optional<bool> hasMore;

    static SyncSinceAnswer fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return SyncSinceAnswer{JsonCoding<std::optional<QList<RemoteHistoryItem>>>::decode(reader.value(u"items"),
                                                                                           reader.pathFor(u"items")),
                               reader.optionalInt64(u"next_since_updated_at"), reader.optionalBool(u"has_more")};
    }
};

// The words BearerActionCall::exchange throws its failures in.
struct Failures {
    DataSyncError missingToken() const { return DataSyncError::missingToken(); }
    DataSyncError encodingFailed() const { return DataSyncError::encodingFailed(); }
    DataSyncError invalidResponse() const { return DataSyncError::transport(QStringLiteral("invalid response")); }
    DataSyncError unauthorizedStatus() const { return DataSyncError::unauthorized(); }
    DataSyncError errorStatus(int status) const
    {
        return DataSyncError::transport(QStringLiteral("HTTP ") + QString::number(status));
    }
};

// One exchange with the action endpoint; logs nothing and leaves the
// connection state alone.
template<typename T>
QCoro::Task<T> remoteCall(BearerActionCall call, QString action, AnyEncodable payload, std::stop_token stop = {})
{
    const BearerReply reply = co_await BearerActionCall::exchange(std::move(call), std::move(action),
                                                                  std::move(payload), std::move(stop), Failures());
    APIResponseEnvelope<T> envelope;
    try {
        envelope = APIResponseEnvelope<T>::decode(reply.body);
    } catch (const Error& error) {
        throw DataSyncError::decodingFailed(error.errorDescription());
    }
    if (BearerActionCall::endsSession(envelope.code)) {
        co_await BearerActionCall::report(reply, AuthUnauthorizedReason::from(envelope.code));
        throw DataSyncError::unauthorized();
    }
    if (envelope.code != 0)
        throw DataSyncError::business(envelope.code, envelope.msg);
    if constexpr (std::is_same_v<T, EmptyData>) {
        co_return EmptyData();
    } else {
        if (!envelope.data)
            throw DataSyncError::decodingFailed(QStringLiteral("empty data for non-empty response type"));
        co_return std::move(*envelope.data);
    }
}

// Where a failed call left the caller, in the user's language: the client's
// own errors in their own words, shorter than their descriptions, and
// whether signing in would help.
DataSyncConnection fallbackConnection(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DataSyncError& error) {
        switch (error.kind()) {
        case DataSyncError::Kind::invalidInput:
        case DataSyncError::Kind::business:
        case DataSyncError::Kind::transport:
            return DataSyncConnection::local(error.message());
        case DataSyncError::Kind::decodingFailed:
            return DataSyncConnection::local(QStringLiteral("响应解析失败"));
        case DataSyncError::Kind::unauthorized:
            return DataSyncConnection::signInNeeded(QStringLiteral("登录已过期"));
        case DataSyncError::Kind::missingToken:
            return DataSyncConnection::signInNeeded(error.errorDescription());
        case DataSyncError::Kind::notFound:
        case DataSyncError::Kind::encodingFailed:
            return DataSyncConnection::local(error.errorDescription());
        }
    } catch (const Error& error) {
        return DataSyncConnection::local(error.errorDescription());
    } catch (const std::exception& error) {
        return DataSyncConnection::local(QString::fromUtf8(error.what()));
    } catch (...) {
    }
    return DataSyncConnection::local(QStringLiteral("unknown error"));
}

// What differs between the two caches.
template<typename Entry>
struct Cache;

template<>
struct Cache<HistoryItem> {
    static void update(const LocalDataStore& store, const std::function<void(QList<HistoryItem>&)>& change)
    {
        store.updateHistory(change);
    }
};

template<>
struct Cache<DictEntry> {
    static void update(const LocalDataStore& store, const std::function<void(QList<DictEntry>&)>& change)
    {
        store.updateDictionary(change);
    }
};

// A success that cannot be written to the cache is still a success.
template<typename Entry>
void updateIgnoringErrors(const LocalDataStore& store, const std::function<void(QList<Entry>&)>& change)
{
    try {
        Cache<Entry>::update(store, change);
    } catch (const Error&) {
    }
}

// Each of `entries` replaces the first cached entry with its id, in place,
// or is appended.
template<typename Entry>
void replaceOrAppend(QList<Entry>& cached, const QList<Entry>& entries)
{
    for (const Entry& entry : entries) {
        const auto same = std::find_if(cached.begin(), cached.end(), [&](const Entry& c) { return c.id == entry.id; });
        if (same != cached.end())
            *same = entry;
        else
            cached.append(entry);
    }
}

template<typename Entry>
QList<Entry> localOnly(const QList<Entry>& cached)
{
    QList<Entry> local;
    std::copy_if(cached.begin(), cached.end(), std::back_inserter(local), [](const Entry& e) { return e.id < 0; });
    return local;
}

// A record to upload, put into JSON only when the request is encoded: copying
// a long record's texts into a JSON object takes tens of milliseconds.
struct AppendPayload {
    QString clientID;
    QString text;
    QString recognizedText;
    std::optional<QString> polishedText;
    std::optional<QString> sourceApp;
    Date createdAt;

    QJsonValue toJson() const
    {
        return JsonWriter()
            .insert(u"client_id", clientID)
            .insert(u"text", text)
            .insert(u"recognized_text", recognizedText)
            .insert(u"polished_text", polishedText.value_or(QString()))
            .insert(u"source_app", sourceApp.value_or(QString()))
            .insert(u"created_at", createdAt.toUnixMilliseconds())
            .object();
    }
};

} // namespace

struct DataSyncAPI::State {
    BearerActionCall bearer;
    LocalDataStore store;
    VellamorLog log;
    DataSyncConnection lastConnection = DataSyncConnection::local(QStringLiteral("尚未同步"));

    // `payload`: a QJsonObject, or what encodes to one when the request is
    // encoded, off the main thread.
    template<typename T, typename Payload = QJsonObject>
    QCoro::Task<T> call(QString action, Payload payload, std::stop_token stop = {}) const
    {
        return remoteCall<T>(bearer, std::move(action), AnyEncodable(std::move(payload)), std::move(stop));
    }

    void fellBack(const QString& message, const std::exception_ptr& failure)
    {
        lastConnection = fallbackConnection(failure);
        log.warn(message + describeException(failure));
    }

    template<typename Entry>
    void deleteFromCache(qint64 id) const
    {
        updateIgnoringErrors<Entry>(store, [id](QList<Entry>& cached) {
            cached.removeIf([id](const Entry& entry) { return entry.id == id; });
        });
    }

    // Whether the local upsert would change an entry the server holds.
    bool touchesServerEntry(std::optional<qint64> id, const QString& term) const
    {
        if (id && *id >= 1)
            return true;
        const QList<DictEntry> cached = store.loadDictionary();
        const auto target = LocalDataStore::upsertTarget(cached, id, term);
        return target && cached[*target].id >= 1;
    }

    template<typename Entry>
    static QCoro::Task<SyncByVersionResponse<Entry>> syncByVersion(std::shared_ptr<State> self, QString action,
                                                                   QString fallbackMessage, qint64 sinceVersion,
                                                                   std::optional<int> limit)
    {
        const QJsonObject payload = JsonWriter()
                                        .insert(u"since_version", sinceVersion)
                                        .insert(u"limit", limit.value_or(defaultSyncLimit))
                                        .object();
        auto outcome = co_await outcomeOf(self->call<SyncByVersionResponse<Entry>>(std::move(action), payload));
        if (outcome.failure) {
            self->fellBack(fallbackMessage, outcome.failure);
            co_return SyncByVersionResponse<Entry>{{}, sinceVersion, false};
        }
        self->lastConnection = DataSyncConnection::remote();
        const QList<Entry> entries = outcome.value->entries;
        updateIgnoringErrors<Entry>(self->store, [&](QList<Entry>& cached) { replaceOrAppend(cached, entries); });
        co_return std::move(*outcome.value);
    }

    // Sends `action` {"id"} and removes the entry from the cache. Offline it
    // is removed from the cache only (notFound when it was not there, a write
    // error thrown), unless `offlineKeepsServerEntries` and the id is the
    // server's: then the remote error is thrown.
    template<typename Entry>
    static QCoro::Task<void> deleteEntry(std::shared_ptr<State> self, QString action, QString operation, qint64 id,
                                         bool offlineKeepsServerEntries)
    {
        auto outcome
            = co_await outcomeOf(self->call<EmptyData>(std::move(action), JsonWriter().insert(u"id", id).object()));
        if (!outcome.failure) {
            self->lastConnection = DataSyncConnection::remote();
            self->deleteFromCache<Entry>(id);
            co_return;
        }
        if (offlineKeepsServerEntries && id >= 1) {
            self->fellBack(operation + QStringLiteral(" remote failed, not deleted: "), outcome.failure);
            std::rethrow_exception(outcome.failure);
        }
        self->fellBack(operation + QStringLiteral(" remote failed, deleting locally: "), outcome.failure);
        Cache<Entry>::update(self->store, [id](QList<Entry>& cached) {
            if (cached.removeIf([id](const Entry& entry) { return entry.id == id; }) == 0)
                throw DataSyncError::notFound();
        });
    }

    static QCoro::Task<void> deleteHistoryRemotely(std::shared_ptr<State> self, qint64 id, std::stop_token stop)
    {
        co_await self->call<EmptyData>(QStringLiteral("history.delete"), JsonWriter().insert(u"id", id).object(),
                                       std::move(stop));
        self->lastConnection = DataSyncConnection::remote();
        self->deleteFromCache<HistoryItem>(id);
    }
};

DataSyncAPI::DataSyncAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                         std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, std::optional<QString> storeURL,
                         VellamorLog log)
    : state_(std::make_shared<State>(State{BearerActionCall{.baseURL = std::move(baseURL),
                                                            .session = std::move(session),
                                                            .tokenProvider = std::move(tokenProvider),
                                                            .unauthorizedHandler = std::move(unauthorizedHandler),
                                                            .timeout = requestTimeout,
                                                            .keys = KeyCasing::unchanged,
                                                            .acceptsJson = false},
                                           LocalDataStore(storeURL.value_or(LocalDataStore::defaultRoot())),
                                           std::move(log)}))
{
}

VellamorLog DataSyncAPI::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("data-sync"));
}

DataSyncConnection DataSyncAPI::currentConnection() const
{
    return state_->lastConnection;
}

QCoro::Task<QList<HistoryItem>> DataSyncAPI::listHistory(int limit)
{
    const std::shared_ptr<State> self = state_;
    const QJsonObject payload = JsonWriter().insert(u"limit", std::clamp(limit, 1, maxListLimit)).object();
    auto outcome
        = co_await outcomeOf(self->call<ListAnswer<BackendHistoryEntry>>(QStringLiteral("history.list"), payload));
    if (outcome.failure) {
        self->fellBack(QStringLiteral("listHistory remote failed, falling back to local: "), outcome.failure);
        co_return self->store.loadHistory();
    }
    self->lastConnection = DataSyncConnection::remote();
    QList<HistoryItem> result;
    for (const BackendHistoryEntry& entry : outcome.value->entries)
        result.append(entry.toHistoryItem());
    // The cache is read once, for its local entries and to be replaced.
    updateIgnoringErrors<HistoryItem>(self->store, [&](QList<HistoryItem>& cached) {
        result = localOnly(cached) + result;
        cached = result;
    });
    co_return result;
}

QCoro::Task<void> DataSyncAPI::deleteHistory(qint64 id)
{
    return State::deleteEntry<HistoryItem>(state_, QStringLiteral("history.delete"), QStringLiteral("deleteHistory"),
                                           id, false);
}

QCoro::Task<void> DataSyncAPI::deleteHistoryRemotely(qint64 id, std::stop_token stop)
{
    return State::deleteHistoryRemotely(state_, id, std::move(stop));
}

QCoro::Task<HistorySyncResponse> DataSyncAPI::syncHistory(qint64 sinceVersion, std::optional<int> limit)
{
    return State::syncByVersion<HistoryItem>(state_, QStringLiteral("history.sync"),
                                             QStringLiteral("syncHistory remote failed, returning empty: "),
                                             sinceVersion, limit);
}

QCoro::Task<DictionarySyncResponse> DataSyncAPI::syncDictionary(qint64 sinceVersion, std::optional<int> limit)
{
    return State::syncByVersion<DictEntry>(state_, QStringLiteral("dictionary.sync"),
                                           QStringLiteral("syncDictionary remote failed, returning empty: "),
                                           sinceVersion, limit);
}

QCoro::Task<AppendHistoryResult> DataSyncAPI::appendHistory(QString clientID, QString text, QString recognizedText,
                                                            std::optional<QString> polishedText,
                                                            std::optional<QString> sourceApp, Date createdAt,
                                                            std::stop_token stop)
{
    const std::shared_ptr<State> self = state_;
    const AppendPayload payload {clientID, text, recognizedText, polishedText, sourceApp, createdAt};
    const AppendAnswer answer
        = co_await self->call<AppendAnswer>(QStringLiteral("history.append"), payload, std::move(stop));
    self->lastConnection = DataSyncConnection::remote();
    co_return AppendHistoryResult{answer.id, answer.clientID.value_or(clientID), answer.updatedAtMicros};
}

QCoro::Task<HistorySyncSinceResponse> DataSyncAPI::syncHistorySince(qint64 sinceUpdatedAtMicros,
                                                                    std::optional<int> limit, std::stop_token stop)
{
    const std::shared_ptr<State> self = state_;
    const QJsonObject payload
        = JsonWriter().insert(u"since_updated_at", sinceUpdatedAtMicros).insertIfPresent(u"limit", limit).object();
    SyncSinceAnswer answer
        = co_await self->call<SyncSinceAnswer>(QStringLiteral("history.sync"), payload, std::move(stop));
    self->lastConnection = DataSyncConnection::remote();
    co_return HistorySyncSinceResponse{std::move(answer.items).value_or(QList<RemoteHistoryItem>()),
                                       answer.nextSinceUpdatedAt.value_or(sinceUpdatedAtMicros),
                                       answer.hasMore.value_or(false)};
}

QCoro::Task<QList<DictEntry>> DataSyncAPI::listDictionary()
{
    const std::shared_ptr<State> self = state_;
    auto outcome = co_await outcomeOf(self->call<ListAnswer<BackendDictEntry>>(QStringLiteral("dictionary.list"), {}));
    if (outcome.failure) {
        self->fellBack(QStringLiteral("listDictionary remote failed, falling back to local: "), outcome.failure);
        co_return self->store.loadDictionary();
    }
    self->lastConnection = DataSyncConnection::remote();
    QList<DictEntry> result;
    for (const BackendDictEntry& entry : outcome.value->entries)
        result.append(entry.toDictEntry());
    // The cache is read once, for its local entries and to be replaced.
    updateIgnoringErrors<DictEntry>(self->store, [&](QList<DictEntry>& cached) {
        result.append(localOnly(cached));
        cached = result;
    });
    co_return result;
}

QList<DictEntry> DataSyncAPI::cachedDictionary() const
{
    // Kept for the listing that follows, which then need not read it again.
    return state_->store.loadDictionaryAhead();
}

QCoro::Task<DictEntry> DataSyncAPI::upsertDictEntry(std::optional<qint64> id, QString term, QString replacement,
                                                    QString note)
{
    const std::shared_ptr<State> self = state_;
    const QString trimmed = term.trimmed();
    if (trimmed.isEmpty())
        throw DataSyncError::invalidInput(QStringLiteral("术语不能为空"));
    if (graphemeCount(trimmed) > maxTermLength)
        throw DataSyncError::invalidInput(QStringLiteral("术语过长（≤") + QString::number(maxTermLength)
                                          + QStringLiteral("）"));

    JsonWriter payload;
    payload.insert(u"term", trimmed).insert(u"phonetic", replacement).insert(u"note", note);
    if (id && *id >= 1)
        payload.insert(u"id", *id);
    auto outcome
        = co_await outcomeOf(self->call<BackendDictEntry>(QStringLiteral("dictionary.upsert"), payload.object()));
    if (outcome.failure) {
        if (self->touchesServerEntry(id, trimmed)) {
            self->fellBack(QStringLiteral("upsertDictEntry remote failed, not saved: "), outcome.failure);
            std::rethrow_exception(outcome.failure);
        }
        self->fellBack(QStringLiteral("upsertDictEntry remote failed, writing locally: "), outcome.failure);
        co_return self->store.upsertDictionary(id, trimmed, replacement, note);
    }
    self->lastConnection = DataSyncConnection::remote();
    const DictEntry entry = outcome.value->toDictEntry();
    updateIgnoringErrors<DictEntry>(self->store, [&](QList<DictEntry>& cached) {
        if (id && *id < 0)
            cached.removeIf([&](const DictEntry& c) { return c.id == *id; });
        replaceOrAppend(cached, {entry});
    });
    co_return entry;
}

QCoro::Task<void> DataSyncAPI::deleteDictEntry(qint64 id)
{
    return State::deleteEntry<DictEntry>(state_, QStringLiteral("dictionary.delete"), QStringLiteral("deleteDictEntry"),
                                         id, true);
}

} // namespace vellamor
