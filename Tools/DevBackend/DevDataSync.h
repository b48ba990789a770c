#pragma once

#include "ApiAction.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vellamor::devbackend {

class DevServer;

// The history and dictionary actions, with state per account: the account
// the call's bearer token speaks for (DevServer::accountOf; no or an empty
// token: HTTP 401, code 40100). The records are the state part "data".
// Every change gives the record the account's next
// version and an update time (microseconds, strictly rising per account).
// Times are answered as ISO 8601 texts with microseconds.
//
// - "history.append" {"client_id", "text", "recognized_text",
//   "polished_text", "source_app" (strings), "created_at" (integer ms)} →
//   {"id", "client_id", "updated_at" (µs)}; a client id seen before answers
//   the record it made.
// - "history.list" {"limit" ≥ 1} → {"entries"}: the newest live records
//   first, snake_case, with "raw_text", "polished_text", "app_bundle_id"
//   and "created_at".
// - "history.delete" {"id"} → no data; marks the record deleted.
// - "history.sync" {"since_updated_at", "limit"?} → {"items" (snake_case,
//   with "updated_at" and "deleted_at"), "next_since_updated_at",
//   "has_more"}; or {"since_version", "limit"?} → {"entries" (camel-case,
//   live records), "next_version", "has_more"}. Default limit 100.
// - "dictionary.list" {} → {"entries"} with "phonetic" for the replacement.
// - "dictionary.upsert" {"term" (not blank), "phonetic", "note", "id"?} →
//   the entry; without an id an entry with the same term is updated.
// - "dictionary.delete" {"id"} → no data.
// - "dictionary.sync" {"since_version", "limit"?} → {"entries" (camel-case),
//   "next_version", "has_more"}.
// A payload of the wrong shape: code 40001; an unknown id: 40402; more than
// maxRecords of a kind in the whole server: 42900. Other faults (HTTP
// statuses, result codes, malformed bodies, delays, dropped connections)
// are scripted with DevServer::script; POST /test/reset forgets everything.
class DevDataSync final : public QObject {
    Q_OBJECT
public:
    struct HistoryRecord {
        qint64 id = 0;
        QString clientID;
        QString text;
        QString recognizedText;
        QString polishedText;
        QString sourceApp;
        qint64 createdAtMicros = 0;
        qint64 updatedAtMicros = 0;
        std::optional<qint64> deletedAtMicros;
        qint64 version = 0;
    };

    struct DictRecord {
        qint64 id = 0;
        QString term;
        QString phonetic;
        QString note;
        qint64 createdAtMicros = 0;
        qint64 updatedAtMicros = 0;
        qint64 version = 0;
    };

    struct Account {
        QList<HistoryRecord> history;
        QList<DictRecord> dictionary;
        qint64 version = 0;
        qint64 lastUpdateMicros = 0;
    };

    static constexpr qsizetype maxRecords = 4096;
    static constexpr qint64 defaultLimit = 100;

    // Creates the state as a child of `server` and registers the actions.
    static DevDataSync* install(DevServer& server);
    static DevDataSync* of(DevServer& server);

    // The account `token` speaks for; none before its first call.
    const Account* account(const QString& token) const;
    void reset();

    QJsonObject saveState() const;
    bool restoreState(const QJsonObject& saved);

private:
    explicit DevDataSync(DevServer& server);

    ApiReply handle(const ApiCall& call);
    ApiReply appendHistory(Account& account, const QJsonObject& data);
    ApiReply listHistory(const Account& account, const QJsonObject& data) const;
    ApiReply deleteHistory(Account& account, const QJsonObject& data);
    ApiReply syncHistory(const Account& account, const QJsonObject& data) const;
    ApiReply upsertDictionary(Account& account, const QJsonObject& data);
    ApiReply deleteDictionary(Account& account, const QJsonObject& data);
    ApiReply syncDictionary(const Account& account, const QJsonObject& data) const;
    // Gives a changed record its version and update time.
    template<typename Record>
    void touch(Account& account, Record& record) const;
    // Records of one kind over all accounts, for the server-wide limit.
    template<typename Records>
    qsizetype total(Records Account::*records) const;

    DevServer& server_;
    QHash<QString, Account> accounts_;
    qint64 nextID_ = 1;
};

} // namespace vellamor::devbackend
