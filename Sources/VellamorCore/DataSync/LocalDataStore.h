#pragma once

#include "DataSync/DictEntry.h"
#include "DataSync/HistoryItem.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The data-sync client's last known history list and personal dictionary,
// kept as two JSON arrays, "history.json" and "dictionary.json", in one
// folder, so the client can answer offline. Files are written whole and
// atomically (owner-only), pretty printed with sorted keys and times in
// whole UTC seconds; a file that cannot be read, is not such an array or
// holds any other time form reads as an empty list, silently, and the next
// save replaces it.
//
// Every operation runs to its end before returning, under one lock shared
// by every store of the process, so stores on the same folder never
// interleave a read-change-write. Nothing trims or validates texts here.
class LocalDataStore {
public:
    // Creates the folder and its parents; a failure is ignored (reads then
    // give empty lists, writes fail). No file is made before a save.
    explicit LocalDataStore(QString rootURL);

    // AppPaths' application support folder, the one that also holds the
    // account stores; the home folder's ".local/share/vellamor" when it has
    // none.
    static QString defaultRoot();

    const QString& rootURL() const { return rootURL_; }
    QString historyURL() const;
    QString dictionaryURL() const;

    QList<HistoryItem> loadHistory() const;
    // Throws the file system's error; the old file then stays.
    void saveHistory(const QList<HistoryItem>& items) const;
    QList<DictEntry> loadDictionary() const;
    // As loadDictionary(), and the list is kept for the next read or update
    // of the dictionary through this store, which takes it instead of parsing
    // the file again while the file is as it was: a window that shows the
    // cache and then lists the dictionary reads the file once.
    QList<DictEntry> loadDictionaryAhead() const;
    void saveDictionary(const QList<DictEntry>& entries) const;

    // Reads the list, lets `change` edit it and saves it, as one unit; a
    // list that would be written as it was read is not written again. An
    // exception from `change` leaves the file as it was.
    void updateHistory(const std::function<void(QList<HistoryItem>&)>& change) const;
    void updateDictionary(const std::function<void(QList<DictEntry>&)>& change) const;

    // Writes one entry and returns it as written: it replaces, in place, the
    // first entry with `id`, else the first whose term is canonically
    // equivalent to `term` (case, width and spaces count), keeping that
    // entry's id and createdAt; otherwise it is appended with a new local id
    // (one below the smallest id, and at most -1). updatedAt is now.
    DictEntry upsertDictionary(std::optional<qint64> id, const QString& term, const QString& replacement,
                               const QString& note) const;
    // The position upsertDictionary would replace in `entries`, none when it
    // would append.
    static std::optional<qsizetype> upsertTarget(const QList<DictEntry>& entries, std::optional<qint64> id,
                                                 const QString& term);

private:
    struct KeptRead;

    // The list loadDictionaryAhead() kept, while the file is unchanged, else
    // the file's; the kept list is dropped either way. Under the lock.
    QList<DictEntry> takeDictionary() const;

    QString rootURL_;
    mutable std::shared_ptr<KeptRead> keptDictionary_;
};

} // namespace vellamor
