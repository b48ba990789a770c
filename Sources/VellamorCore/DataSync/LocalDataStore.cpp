#include "DataSync/LocalDataStore.h"

#include "Storage/StorageFiles.h"
#include "Support/AppPaths.h"
#include "Support/Json/JsonError.h"
#include "Support/Json/JsonValue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>

#include <sys/stat.h>

namespace vellamor {

namespace {

// Several clients, each with its own store, may share one folder. Held
// again by an update around its own load and save.
std::recursive_mutex& cacheLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// Only the form the store writes: a time with fractional seconds fails the
// whole file, as does a number or any other text.
Date readCacheDate(const QJsonValue& value, const QString& path)
{
    static const QRegularExpression shape(
        QStringLiteral("\\A[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(?:Z|[+-][0-9]{2}:[0-9]{2})\\z"));
    const QString text = json::readString(value, path);
    if (shape.match(text).hasMatch()) {
        if (const auto date = Date::fromIso8601(text))
            return *date;
    }
    throw JsonError::invalidValue(path, QStringLiteral("not an ISO 8601 time in whole seconds: ") + text);
}

template<typename Record>
QList<Record> load(const QString& path)
{
    const std::lock_guard guard(cacheLock());
    try {
        const std::optional<QByteArray> bytes = storage_files::readFileIfPresent(path);
        if (!bytes)
            return {};
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(*bytes, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isArray())
            return {};
        const QJsonArray array = document.array();
        QList<Record> records;
        records.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i)
            records.append(Record::fromJson(array.at(i), json::indexPath({}, i), readCacheDate));
        return records;
    } catch (const Error&) {
        return {};
    }
}

// Saves made by this process's stores, under the lock.
std::uint64_t savesMade = 0;

// Tells whether a file changed since: this process's saves, and the file's
// identity, size and modification time for any other writer.
struct FileState {
    std::uint64_t saves = 0;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNanoseconds = 0;

    friend bool operator==(const FileState&, const FileState&) = default;
};

FileState fileState(const QString& path)
{
    FileState state;
    state.saves = savesMade;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        state.exists = true;
        state.device = info.st_dev;
        state.inode = info.st_ino;
        state.size = info.st_size;
        state.modifiedNanoseconds
            = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    }
    return state;
}

template<typename Record>
void save(const QString& path, const QList<Record>& records)
{
    const std::lock_guard guard(cacheLock());
    ++savesMade;
    QJsonArray array;
    for (const Record& record : records)
        array.append(record.toJson());
    // QJsonObject keeps its keys sorted, so the text has them in ascending order.
    storage_files::writePrivateFileAtomically(path, QJsonDocument(array).toJson(QJsonDocument::Indented),
                                              [](const QString&) {});
}

// A record as the file keeps it: times in whole seconds.
Date wholeSeconds(Date date)
{
    return Date(std::floor(date.secondsSince1970()));
}

DictEntry asWritten(DictEntry entry)
{
    entry.createdAt = wholeSeconds(entry.createdAt);
    entry.updatedAt = wholeSeconds(entry.updatedAt);
    return entry;
}

HistoryItem asWritten(HistoryItem item)
{
    item.createdAt = wholeSeconds(item.createdAt);
    return item;
}

// Whether the two lists would be written as the same text, so a server's
// finer times equal their cached form. Encoding each record to compare
// would cost as much as the write.
template<typename Record>
bool sameWhenWritten(const QList<Record>& a, const QList<Record>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Record& x, const Record& y) { return x == y || asWritten(x) == asWritten(y); });
}

// Lets `change` edit `records`, as read from `path` under the lock, and saves them.
template<typename Record>
void update(const QString& path, QList<Record> records, const std::function<void(QList<Record>&)>& change)
{
    const QList<Record> before = records;
    change(records);
    // Writing a long list costs its whole encoding and a disk write.
    if (sameWhenWritten(before, records))
        return;
    save(path, records);
}

qint64 nextLocalID(const QList<DictEntry>& entries)
{
    qint64 smallest = 0;
    for (const DictEntry& entry : entries)
        smallest = std::min(smallest, entry.id);
    if (smallest > std::numeric_limits<qint64>::min())
        return std::min<qint64>(smallest - 1, -1);
    // Out of room below: the first negative id still free.
    qint64 candidate = -1;
    while (std::any_of(entries.begin(), entries.end(), [&](const DictEntry& entry) { return entry.id == candidate; }))
        --candidate;
    return candidate;
}

} // namespace

struct LocalDataStore::KeptRead {
    FileState state;
    QList<DictEntry> entries;
};

LocalDataStore::LocalDataStore(QString rootURL) : rootURL_(std::move(rootURL))
{
    try {
        storage_files::createFolder(rootURL_);
    } catch (const Error&) {
    }
}

QString LocalDataStore::defaultRoot()
{
    if (const auto support = AppPaths::applicationSupportDirectory())
        return *support;
    return QDir::homePath() + QStringLiteral("/.local/share/vellamor");
}

QString LocalDataStore::historyURL() const
{
    return rootURL_ + QStringLiteral("/history.json");
}

QString LocalDataStore::dictionaryURL() const
{
    return rootURL_ + QStringLiteral("/dictionary.json");
}

QList<HistoryItem> LocalDataStore::loadHistory() const
{
    return load<HistoryItem>(historyURL());
}

void LocalDataStore::saveHistory(const QList<HistoryItem>& items) const
{
    save(historyURL(), items);
}

QList<DictEntry> LocalDataStore::takeDictionary() const
{
    const std::shared_ptr<KeptRead> kept = std::exchange(keptDictionary_, nullptr);
    if (kept && kept->state == fileState(dictionaryURL()))
        return kept->entries;
    return load<DictEntry>(dictionaryURL());
}

QList<DictEntry> LocalDataStore::loadDictionary() const
{
    const std::lock_guard guard(cacheLock());
    return takeDictionary();
}

QList<DictEntry> LocalDataStore::loadDictionaryAhead() const
{
    const std::lock_guard guard(cacheLock());
    // The state before the read: a change while it reads shows next time.
    auto kept = std::make_shared<KeptRead>();
    kept->state = fileState(dictionaryURL());
    kept->entries = takeDictionary();
    keptDictionary_ = kept;
    return kept->entries;
}

void LocalDataStore::saveDictionary(const QList<DictEntry>& entries) const
{
    const std::lock_guard guard(cacheLock());
    keptDictionary_.reset();
    save(dictionaryURL(), entries);
}

void LocalDataStore::updateHistory(const std::function<void(QList<HistoryItem>&)>& change) const
{
    const std::lock_guard guard(cacheLock());
    update(historyURL(), load<HistoryItem>(historyURL()), change);
}

void LocalDataStore::updateDictionary(const std::function<void(QList<DictEntry>&)>& change) const
{
    const std::lock_guard guard(cacheLock());
    update(dictionaryURL(), takeDictionary(), change);
}

std::optional<qsizetype> LocalDataStore::upsertTarget(const QList<DictEntry>& entries, std::optional<qint64> id,
                                                      const QString& term)
{
    const auto position = [&](const auto& matches) -> std::optional<qsizetype> {
        const auto found = std::find_if(entries.begin(), entries.end(), matches);
        if (found == entries.end())
            return std::nullopt;
        return found - entries.begin();
    };
    if (id) {
        if (const auto byID = position([&](const DictEntry& entry) { return entry.id == *id; }))
            return byID;
    }
    const QString canonical = term.normalized(QString::NormalizationForm_C);
    return position(
        [&](const DictEntry& entry) { return entry.term.normalized(QString::NormalizationForm_C) == canonical; });
}

DictEntry LocalDataStore::upsertDictionary(std::optional<qint64> id, const QString& term, const QString& replacement,
                                           const QString& note) const
{
    DictEntry written;
    updateDictionary([&](QList<DictEntry>& entries) {
        const Date now = Date::now();
        if (const auto target = upsertTarget(entries, id, term)) {
            DictEntry& entry = entries[*target];
            entry = DictEntry{entry.id, term, replacement, note, entry.createdAt, now};
            written = entry;
        } else {
            written = DictEntry{nextLocalID(entries), term, replacement, note, now, now};
            entries.append(written);
        }
    });
    return written;
}

} // namespace vellamor
