#pragma once

#include "DataSync/DataSyncAPIProtocol.h"
#include "DataSync/DataSyncError.h"
#include "Logging/VellamorLog.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor {

// The client of the history and dictionary actions, with the local caches
// of LocalDataStore to fall back on.
//
// Each remote call is one POST to the API base URL + "v1/api.json" with a
// 10 s time-out and exactly the headers "Content-Type: application/json"
// and "Authorization: Bearer <token>", payload keys as written. It fails with
// DataSyncError when the token is missing or empty (missingToken, nothing
// sent), the answer is not HTTP (transport("invalid response")), on HTTP 401
// (the unauthorised handler is told tokenInvalid and awaited, then
// unauthorized; the body is not read), on another HTTP status ≥ 400
// (transport("HTTP <status>")), when the envelope does not decode
// (decodingFailed with the decoder's description; "msg" is required), on
// codes 40100…40103 (the handler is told the code's reason first, then
// unauthorized), on any other code but 0 (business(code, msg)), and when an
// answer that needs data has none (decodingFailed("empty data for non-empty
// response type")). The HTTP session's own errors pass through unchanged.
//
// The operations that fall back set the connection state to local(reason)
// and log one warning; see each below. State is shared with running calls
// (and with copies of the client), so a call may outlive the client; the
// call that ends last sets the state.
class DataSyncAPI final : public DataSyncAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    // The caches live in `storeURL`, by default LocalDataStore::defaultRoot().
    DataSyncAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, std::optional<QString> storeURL,
                VellamorLog log = defaultLog());

    // Subsystem "com.vellamor.app", category "data-sync".
    static VellamorLog defaultLog();

    // "history.list" {"limit": limit clamped to 1…200}: the cached items with
    // negative ids, then the server's, stored as the new cache. Falls back to
    // the whole cache.
    QCoro::Task<QList<HistoryItem>> listHistory(int limit) override;
    // "history.delete" {"id"}, then removed from the cache. Falls back to
    // removing it from the cache only: notFound when it was not there.
    QCoro::Task<void> deleteHistory(qint64 id) override;
    // "history.sync" {"since_version", "limit" (100 when none)}; the entries
    // replace cached items by id or are appended. Falls back to no entries,
    // nextVersion = sinceVersion, hasMore false.
    QCoro::Task<HistorySyncResponse> syncHistory(qint64 sinceVersion, std::optional<int> limit) override;
    // "dictionary.list" {}: the server's entries, then the cached ones with
    // negative ids, stored as the new cache. Falls back to the whole cache.
    QCoro::Task<QList<DictEntry>> listDictionary() override;
    // The local cache as it is, read now.
    QList<DictEntry> cachedDictionary() const override;
    // The term trimmed of white space and line breaks must hold 1 to 128
    // characters, else invalidInput("术语不能为空") or invalidInput("术语过长（≤128）"),
    // nothing sent and the state untouched. "dictionary.upsert" {"term",
    // "phonetic" and "note" untrimmed, "id" only when ≥ 1}; the answer
    // replaces the cached entry with its id (and the local entry `id` when
    // that was negative). Offline, a local entry is written with
    // LocalDataStore::upsertDictionary, but a change to a server entry (a
    // positive id, given or matched by term) is not: the remote error is
    // thrown so the user sees it was not saved.
    QCoro::Task<DictEntry> upsertDictEntry(std::optional<qint64> id, QString term, QString replacement,
                                           QString note) override;
    // "dictionary.delete" {"id"}, then removed from the cache. Offline a
    // local entry (id ≤ 0) is removed from the cache (notFound when absent);
    // for a server entry the remote error is thrown.
    QCoro::Task<void> deleteDictEntry(qint64 id) override;
    // "dictionary.sync", as syncHistory.
    QCoro::Task<DictionarySyncResponse> syncDictionary(qint64 sinceVersion, std::optional<int> limit) override;
    // local("尚未同步") until the first operation ends.
    DataSyncConnection currentConnection() const override;

    // "history.append" {"client_id", "text", "recognized_text",
    // "polished_text" and "source_app" ("" when none), "created_at" in whole
    // milliseconds} → the server id, the client id (the one sent when the
    // answer has none) and "updated_at" in microseconds. No fallback, no
    // log, no cache; only success changes the state.
    QCoro::Task<AppendHistoryResult> appendHistory(QString clientID, QString text, QString recognizedText,
                                                   std::optional<QString> polishedText,
                                                   std::optional<QString> sourceApp, Date createdAt,
                                                   std::stop_token stop = {}) override;
    // "history.sync" {"since_updated_at", "limit" only when given}; absent
    // "items" give none, an absent cursor the one sent, absent "has_more"
    // false. Failures as appendHistory.
    QCoro::Task<HistorySyncSinceResponse> syncHistorySince(qint64 sinceUpdatedAtMicros, std::optional<int> limit,
                                                           std::stop_token stop = {}) override;
    // "history.delete" {"id"}, then removed from the cache. Failures as
    // appendHistory.
    QCoro::Task<void> deleteHistoryRemotely(qint64 id, std::stop_token stop = {}) override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace vellamor
