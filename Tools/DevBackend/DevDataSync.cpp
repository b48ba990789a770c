#include "DevDataSync.h"

#include "DevServer.h"
#include "StateReader.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <chrono>

namespace vellamor::devbackend {

namespace {

const QString stateObjectName = QStringLiteral("DevDataSync");

const QStringList actions{
    QStringLiteral("history.append"),    QStringLiteral("history.list"),    QStringLiteral("history.delete"),
    QStringLiteral("history.sync"),      QStringLiteral("dictionary.list"), QStringLiteral("dictionary.upsert"),
    QStringLiteral("dictionary.delete"), QStringLiteral("dictionary.sync"),
};

const QStringList changingActions {
    QStringLiteral("history.append"),
    QStringLiteral("history.delete"),
    QStringLiteral("dictionary.upsert"),
    QStringLiteral("dictionary.delete"),
};

// Milliseconds of 9999-12-31T23:59:59.999Z: later creation times are refused.
constexpr qint64 latestMillis = 253402300799999;

ApiReply unknownID()
{
    return ApiReply::failure(40402, QStringLiteral("record not found"));
}

// "limit" when absent gives the default; present it must be an integer ≥ 1.
std::optional<qint64> limitOf(const QJsonObject& data)
{
    if (!data.contains(QStringLiteral("limit")))
        return DevDataSync::defaultLimit;
    const auto limit = exactInteger(data.value(QStringLiteral("limit")));
    if (!limit || *limit < 1)
        return std::nullopt;
    return limit;
}

bool allStrings(const QJsonObject& data, const QStringList& keys)
{
    return std::all_of(keys.begin(), keys.end(), [&](const QString& key) { return data.value(key).isString(); });
}

QString isoMicros(qint64 micros)
{
    const qint64 seconds = micros / 1000000 - (micros % 1000000 < 0 ? 1 : 0);
    const qint64 fraction = micros - seconds * 1000000;
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'.'
           + QStringLiteral("%1").arg(fraction, 6, 10, QLatin1Char('0')) + u'Z';
}

qint64 nowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QJsonObject historyListJson(const DevDataSync::HistoryRecord& record)
{
    return QJsonObject{
        {QStringLiteral("id"), record.id},
        {QStringLiteral("raw_text"), record.recognizedText},
        {QStringLiteral("polished_text"), record.polishedText},
        {QStringLiteral("app_bundle_id"), record.sourceApp},
        {QStringLiteral("created_at"), isoMicros(record.createdAtMicros)},
    };
}

QJsonObject historyChangeJson(const DevDataSync::HistoryRecord& record)
{
    QJsonObject object = historyListJson(record);
    object.insert(QStringLiteral("client_id"), record.clientID);
    object.insert(QStringLiteral("updated_at"), isoMicros(record.updatedAtMicros));
    if (record.deletedAtMicros)
        object.insert(QStringLiteral("deleted_at"), isoMicros(*record.deletedAtMicros));
    return object;
}

QJsonObject historyItemJson(const DevDataSync::HistoryRecord& record)
{
    return QJsonObject{
        {QStringLiteral("id"), record.id},
        {QStringLiteral("rawText"), record.recognizedText},
        {QStringLiteral("polishedText"), record.polishedText},
        {QStringLiteral("lang"), QString()},
        {QStringLiteral("scene"), QString()},
        {QStringLiteral("durationMs"), 0},
        {QStringLiteral("appBundleId"), record.sourceApp},
        {QStringLiteral("createdAt"), isoMicros(record.createdAtMicros)},
    };
}

QJsonObject dictBackendJson(const DevDataSync::DictRecord& record)
{
    return QJsonObject{
        {QStringLiteral("id"), record.id},
        {QStringLiteral("term"), record.term},
        {QStringLiteral("phonetic"), record.phonetic},
        {QStringLiteral("note"), record.note},
        {QStringLiteral("created_at"), isoMicros(record.createdAtMicros)},
        {QStringLiteral("updated_at"), isoMicros(record.updatedAtMicros)},
    };
}

QJsonObject dictEntryJson(const DevDataSync::DictRecord& record)
{
    return QJsonObject{
        {QStringLiteral("id"), record.id},
        {QStringLiteral("term"), record.term},
        {QStringLiteral("replacement"), record.phonetic},
        {QStringLiteral("note"), record.note},
        {QStringLiteral("createdAt"), isoMicros(record.createdAtMicros)},
        {QStringLiteral("updatedAt"), isoMicros(record.updatedAtMicros)},
    };
}

// The records changed after `since` in version order, `limit` at a time;
// records that are no longer live move the cursor without being listed.
template<typename Record, typename Live, typename Json>
ApiReply pageByVersion(const QList<Record>& records, const QJsonObject& data, Live isLive, Json toJson)
{
    const auto since = exactInteger(data.value(QStringLiteral("since_version")));
    const auto limit = limitOf(data);
    if (!since || !limit)
        return ApiReply::badRequest(QStringLiteral("since_version and limit must be integers"));
    QList<const Record*> changed;
    for (const Record& record : records) {
        if (record.version > *since)
            changed.append(&record);
    }
    std::sort(changed.begin(), changed.end(), [](const Record* a, const Record* b) { return a->version < b->version; });
    const qsizetype taken = std::min<qint64>(*limit, changed.size());
    QJsonArray entries;
    qint64 next = *since;
    for (qsizetype i = 0; i < taken; ++i) {
        next = changed[i]->version;
        if (isLive(*changed[i]))
            entries.append(toJson(*changed[i]));
    }
    return ApiReply::success(QJsonObject{{QStringLiteral("entries"), entries},
                                         {QStringLiteral("next_version"), next},
                                         {QStringLiteral("has_more"), changed.size() > taken}});
}

} // namespace

DevDataSync::DevDataSync(DevServer& server)
    : QObject(&server)
    , server_(server)
{
    setObjectName(stateObjectName);
}

DevDataSync* DevDataSync::install(DevServer& server)
{
    auto* state = new DevDataSync(server);
    for (const QString& name : actions)
        server.registerAction(name, [state](const ApiCall& call) { return state->handle(call); });
    connect(&server, &DevServer::recordsReset, state, &DevDataSync::reset);
    server.setStatePart(QStringLiteral("data"), DevServer::statePartOf(state));
    return state;
}

DevDataSync* DevDataSync::of(DevServer& server)
{
    return server.findChild<DevDataSync*>(stateObjectName, Qt::FindDirectChildrenOnly);
}

const DevDataSync::Account* DevDataSync::account(const QString& token) const
{
    const auto found = accounts_.constFind(server_.accountOf(token));
    return found == accounts_.constEnd() ? nullptr : &*found;
}

void DevDataSync::reset()
{
    accounts_.clear();
    nextID_ = 1;
    Q_EMIT server_.stateChanged();
}

QJsonObject DevDataSync::saveState() const
{
    QJsonObject accounts;
    for (auto it = accounts_.constBegin(); it != accounts_.constEnd(); ++it) {
        if (it->version == 0)
            continue;
        QJsonArray history;
        for (const HistoryRecord& record : it->history) {
            QJsonObject saved {
                { QStringLiteral("id"), record.id },
                { QStringLiteral("client_id"), record.clientID },
                { QStringLiteral("text"), record.text },
                { QStringLiteral("recognized_text"), record.recognizedText },
                { QStringLiteral("polished_text"), record.polishedText },
                { QStringLiteral("source_app"), record.sourceApp },
                { QStringLiteral("created_at"), record.createdAtMicros },
                { QStringLiteral("updated_at"), record.updatedAtMicros },
                { QStringLiteral("version"), record.version },
            };
            if (record.deletedAtMicros)
                saved.insert(QStringLiteral("deleted_at"), *record.deletedAtMicros);
            history.append(saved);
        }
        QJsonArray dictionary;
        for (const DictRecord& record : it->dictionary) {
            dictionary.append(QJsonObject {
                { QStringLiteral("id"), record.id },
                { QStringLiteral("term"), record.term },
                { QStringLiteral("phonetic"), record.phonetic },
                { QStringLiteral("note"), record.note },
                { QStringLiteral("created_at"), record.createdAtMicros },
                { QStringLiteral("updated_at"), record.updatedAtMicros },
                { QStringLiteral("version"), record.version },
            });
        }
        accounts.insert(it.key(),
            QJsonObject { { QStringLiteral("history"), history }, { QStringLiteral("dictionary"), dictionary },
                { QStringLiteral("version"), it->version }, { QStringLiteral("last_update"), it->lastUpdateMicros } });
    }
    return QJsonObject { { QStringLiteral("next_id"), nextID_ }, { QStringLiteral("accounts"), accounts } };
}

bool DevDataSync::restoreState(const QJsonObject& saved)
{
    StateReader read;
    const QJsonValue savedAccounts = saved.value(QStringLiteral("accounts"));
    if (!savedAccounts.isObject() && !savedAccounts.isUndefined())
        return false;
    QHash<QString, Account> accounts;
    qint64 highestID = StateReader::noneGiven;
    // Records and entries of every account take their ids from one counter.
    QSet<qint64> ids;
    const QJsonObject byName = savedAccounts.toObject();
    for (auto it = byName.constBegin(); it != byName.constEnd(); ++it) {
        const QJsonObject object = it->toObject();
        if (!it->isObject())
            return false;
        Account account;
        // What the account's counters gave out last, over both kinds of record.
        qint64 highestVersion = StateReader::noneGiven;
        qint64 latestUpdate = StateReader::noneGiven;
        const auto given = [&](qint64 version, qint64 updatedAtMicros) {
            highestVersion = std::max(highestVersion, version);
            latestUpdate = std::max(latestUpdate, updatedAtMicros);
        };
        for (const QJsonObject& entry : read.objects(read.array(object, QStringLiteral("history")))) {
            HistoryRecord record;
            record.id = read.integer(entry, QStringLiteral("id"));
            record.clientID = read.text(entry, QStringLiteral("client_id"));
            record.text = read.text(entry, QStringLiteral("text"));
            record.recognizedText = read.text(entry, QStringLiteral("recognized_text"));
            record.polishedText = read.text(entry, QStringLiteral("polished_text"));
            record.sourceApp = read.text(entry, QStringLiteral("source_app"));
            record.createdAtMicros = read.integer(entry, QStringLiteral("created_at"));
            record.updatedAtMicros = read.integer(entry, QStringLiteral("updated_at"));
            record.deletedAtMicros = read.optionalInteger(entry, QStringLiteral("deleted_at"));
            record.version = read.integer(entry, QStringLiteral("version"));
            read.idOnce(ids, record.id);
            highestID = std::max(highestID, record.id);
            given(record.version, record.updatedAtMicros);
            account.history.append(record);
        }
        for (const QJsonObject& entry : read.objects(read.array(object, QStringLiteral("dictionary")))) {
            DictRecord record;
            record.id = read.integer(entry, QStringLiteral("id"));
            record.term = read.text(entry, QStringLiteral("term"));
            record.phonetic = read.text(entry, QStringLiteral("phonetic"));
            record.note = read.text(entry, QStringLiteral("note"));
            record.createdAtMicros = read.integer(entry, QStringLiteral("created_at"));
            record.updatedAtMicros = read.integer(entry, QStringLiteral("updated_at"));
            record.version = read.integer(entry, QStringLiteral("version"));
            read.idOnce(ids, record.id);
            highestID = std::max(highestID, record.id);
            given(record.version, record.updatedAtMicros);
            account.dictionary.append(record);
        }
        account.version = read.lastGiven(object, QStringLiteral("version"), highestVersion);
        account.lastUpdateMicros = read.lastGiven(object, QStringLiteral("last_update"), latestUpdate);
        accounts.insert(it.key(), account);
    }
    const qint64 nextID = read.nextId(saved, QStringLiteral("next_id"), 1, highestID);
    if (!read.ok())
        return false;
    accounts_ = std::move(accounts);
    nextID_ = nextID;
    return true;
}

ApiReply DevDataSync::handle(const ApiCall& call)
{
    const std::optional<QString> token = call.bearerToken();
    if (!token)
        return ApiReply::unauthorized();
    if (!call.data.isObject())
        return ApiReply::badRequest(QStringLiteral("data must be an object"));
    const QJsonObject data = call.data.toObject();
    Account& account = accounts_[server_.accountOf(*token)];
    if (changingActions.contains(call.action)) {
        const qint64 version = account.version;
        ApiReply reply = call.action == u"history.append" ? appendHistory(account, data)
            : call.action == u"history.delete"            ? deleteHistory(account, data)
            : call.action == u"dictionary.upsert"         ? upsertDictionary(account, data)
                                                          : deleteDictionary(account, data);
        if (account.version != version)
            Q_EMIT server_.stateChanged();
        return reply;
    }
    if (call.action == u"history.list")
        return listHistory(account, data);
    if (call.action == u"history.sync")
        return syncHistory(account, data);
    if (call.action == u"dictionary.list") {
        QJsonArray entries;
        for (const DictRecord& record : account.dictionary)
            entries.append(dictBackendJson(record));
        return ApiReply::success(QJsonObject{{QStringLiteral("entries"), entries}});
    }
    return syncDictionary(account, data);
}

template<typename Record>
void DevDataSync::touch(Account& account, Record& record) const
{
    record.version = ++account.version;
    account.lastUpdateMicros = std::max(nowMicros(), account.lastUpdateMicros + 1);
    record.updatedAtMicros = account.lastUpdateMicros;
}

template<typename Records>
qsizetype DevDataSync::total(Records Account::*records) const
{
    qsizetype sum = 0;
    for (const Account& account : accounts_)
        sum += (account.*records).size();
    return sum;
}

ApiReply DevDataSync::appendHistory(Account& account, const QJsonObject& data)
{
    const auto createdAt = exactInteger(data.value(QStringLiteral("created_at")));
    if (!allStrings(data, {QStringLiteral("client_id"), QStringLiteral("text"), QStringLiteral("recognized_text"),
                           QStringLiteral("polished_text"), QStringLiteral("source_app")})
        || !createdAt || *createdAt < 0 || *createdAt > latestMillis)
        return ApiReply::badRequest(QStringLiteral("history.append needs five strings and created_at in milliseconds"));

    const QString clientID = data.value(QStringLiteral("client_id")).toString();
    auto record = std::find_if(account.history.begin(), account.history.end(),
                               [&](const HistoryRecord& r) { return r.clientID == clientID; });
    if (record == account.history.end()) {
        if (total(&Account::history) >= maxRecords)
            return ApiReply::failure(42900, QStringLiteral("record limit reached"));
        HistoryRecord created;
        created.id = nextID_++;
        created.clientID = clientID;
        created.text = data.value(QStringLiteral("text")).toString();
        created.recognizedText = data.value(QStringLiteral("recognized_text")).toString();
        created.polishedText = data.value(QStringLiteral("polished_text")).toString();
        created.sourceApp = data.value(QStringLiteral("source_app")).toString();
        created.createdAtMicros = *createdAt * 1000;
        touch(account, created);
        account.history.append(created);
        record = account.history.end() - 1;
    }
    return ApiReply::success(QJsonObject{{QStringLiteral("id"), record->id},
                                         {QStringLiteral("client_id"), record->clientID},
                                         {QStringLiteral("updated_at"), record->updatedAtMicros}});
}

ApiReply DevDataSync::listHistory(const Account& account, const QJsonObject& data) const
{
    const auto limit = exactInteger(data.value(QStringLiteral("limit")));
    if (!limit || *limit < 1)
        return ApiReply::badRequest(QStringLiteral("limit must be an integer of at least 1"));
    QJsonArray entries;
    for (auto record = account.history.crbegin(); record != account.history.crend() && entries.size() < *limit;
         ++record) {
        if (!record->deletedAtMicros)
            entries.append(historyListJson(*record));
    }
    return ApiReply::success(QJsonObject{{QStringLiteral("entries"), entries}});
}

ApiReply DevDataSync::deleteHistory(Account& account, const QJsonObject& data)
{
    const auto id = exactInteger(data.value(QStringLiteral("id")));
    if (!id)
        return ApiReply::badRequest(QStringLiteral("id must be an integer"));
    for (HistoryRecord& record : account.history) {
        if (record.id == *id && !record.deletedAtMicros) {
            touch(account, record);
            record.deletedAtMicros = record.updatedAtMicros;
            return ApiReply::done();
        }
    }
    return unknownID();
}

ApiReply DevDataSync::syncHistory(const Account& account, const QJsonObject& data) const
{
    if (!data.contains(QStringLiteral("since_updated_at"))) {
        return pageByVersion(
            account.history, data, [](const HistoryRecord& record) { return !record.deletedAtMicros; },
            historyItemJson);
    }
    const auto since = exactInteger(data.value(QStringLiteral("since_updated_at")));
    const auto limit = limitOf(data);
    if (!since || !limit)
        return ApiReply::badRequest(QStringLiteral("since_updated_at and limit must be integers"));
    QList<const HistoryRecord*> changed;
    for (const HistoryRecord& record : account.history) {
        if (record.updatedAtMicros > *since)
            changed.append(&record);
    }
    std::sort(changed.begin(), changed.end(),
              [](const HistoryRecord* a, const HistoryRecord* b) { return a->updatedAtMicros < b->updatedAtMicros; });
    const qsizetype taken = std::min<qint64>(*limit, changed.size());
    QJsonArray items;
    for (qsizetype i = 0; i < taken; ++i)
        items.append(historyChangeJson(*changed[i]));
    return ApiReply::success(
        QJsonObject{{QStringLiteral("items"), items},
                    {QStringLiteral("next_since_updated_at"), taken > 0 ? changed[taken - 1]->updatedAtMicros : *since},
                    {QStringLiteral("has_more"), changed.size() > taken}});
}

ApiReply DevDataSync::upsertDictionary(Account& account, const QJsonObject& data)
{
    const bool hasID = data.contains(QStringLiteral("id"));
    const auto id = exactInteger(data.value(QStringLiteral("id")));
    if (!allStrings(data, {QStringLiteral("term"), QStringLiteral("phonetic"), QStringLiteral("note")})
        || (hasID && !id) || data.value(QStringLiteral("term")).toString().trimmed().isEmpty())
        return ApiReply::badRequest(
            QStringLiteral("dictionary.upsert needs a term, phonetic and note, and an integer id"));

    const QString term = data.value(QStringLiteral("term")).toString();
    auto record = std::find_if(account.dictionary.begin(), account.dictionary.end(),
                               [&](const DictRecord& r) { return hasID ? r.id == *id : r.term == term; });
    if (record == account.dictionary.end()) {
        if (hasID)
            return unknownID();
        if (total(&Account::dictionary) >= maxRecords)
            return ApiReply::failure(42900, QStringLiteral("record limit reached"));
        DictRecord created;
        created.id = nextID_++;
        created.createdAtMicros = nowMicros();
        account.dictionary.append(created);
        record = account.dictionary.end() - 1;
    }
    record->term = term;
    record->phonetic = data.value(QStringLiteral("phonetic")).toString();
    record->note = data.value(QStringLiteral("note")).toString();
    touch(account, *record);
    return ApiReply::success(dictBackendJson(*record));
}

ApiReply DevDataSync::deleteDictionary(Account& account, const QJsonObject& data)
{
    const auto id = exactInteger(data.value(QStringLiteral("id")));
    if (!id)
        return ApiReply::badRequest(QStringLiteral("id must be an integer"));
    if (account.dictionary.removeIf([&](const DictRecord& record) { return record.id == *id; }) == 0)
        return unknownID();
    ++account.version;
    return ApiReply::done();
}

ApiReply DevDataSync::syncDictionary(const Account& account, const QJsonObject& data) const
{
    return pageByVersion(
        account.dictionary, data, [](const DictRecord&) { return true; }, dictEntryJson);
}

} // namespace vellamor::devbackend
