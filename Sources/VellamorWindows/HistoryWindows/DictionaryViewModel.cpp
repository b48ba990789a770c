#include "HistoryWindows/DictionaryViewModel.h"

#include "Auth/AuthSessionObserver.h"
#include "I18n/L10n.h"
#include "Support/Async/Outcome.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <QCollator>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <utility>
#include <vector>

namespace vellamor {

namespace {

template<typename T>
void clear(Published<std::optional<T>>& field)
{
    // Through a named empty value: a std::nullopt temporary trips GCC 12's
    // maybe-uninitialized warning.
    const std::optional<T> none;
    field = none;
}

} // namespace

DictionaryViewModel::DictionaryViewModel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , api_(std::move(dependencies.api))
    , sleep_(dependencies.sleep ? std::move(dependencies.sleep) : &sleepFor)
{
    // The state is read before subscribing, so the value the subscription
    // delivers first reloads nothing: only a real change does.
    const std::shared_ptr<AuthSessionObserver>& auth = dependencies.auth;
    lastAuthIsAuthenticated_ = auth->state().isAuthenticated();
    QPointer<DictionaryViewModel> self(this);
    authSubscription_ = auth->subscribeStateQueued(this, [self](const AuthState& state) {
        if (!self)
            return;
        const bool signedIn = state.isAuthenticated();
        if (self->lastAuthIsAuthenticated_ == signedIn)
            return;
        self->lastAuthIsAuthenticated_ = signedIn;
        self->refresh();
    });
}

DictionaryViewModel::~DictionaryViewModel() = default;

void DictionaryViewModel::refresh()
{
    isLoading = true;
    clear(errorText);
    // A window just opened shows at once what this computer kept, while the
    // service is asked.
    if (startedRefreshes_ == 0 && entries.value().isEmpty()) {
        QList<DictEntry> cached = api_->cachedDictionary();
        if (!cached.isEmpty()) {
            sortByTerm(cached);
            entries = std::move(cached);
        }
    }
    const quint64 generation = ++startedRefreshes_;
    QPointer<DictionaryViewModel> self(this);
    spawn(this, QStringLiteral("dictionary reload"),
          [self, api = api_, generation](std::stop_token) -> QCoro::Task<void> {
              Outcome<QList<DictEntry>> loaded = co_await outcomeOf(api->listDictionary());
              if (!self)
                  co_return;
              // The server may have read the list before a change the list
              // already shows: only the newest such reload asks again.
              if (generation <= self->refreshesBeforeLastChange_) {
                  if (generation == self->startedRefreshes_)
                      self->refresh();
                  co_return;
              }
              const bool newest = generation > self->appliedRefresh_;
              if (newest) {
                  self->appliedRefresh_ = generation;
                  if (loaded.failure) {
                      self->errorText = userFacingDescription(loaded.failure, L10n::Errors::unknown());
                  } else {
                      sortByTerm(*loaded.value);
                      // The list shown again would be built again, row by row.
                      if (*loaded.value != self->entries.value())
                          self->entries = std::move(*loaded.value);
                      self->connection = api->currentConnection();
                  }
              }
              self->isLoading = false;
          });
}

void DictionaryViewModel::upsert(std::optional<qint64> id, QString term, QString replacement, QString note)
{
    QPointer<DictionaryViewModel> self(this);
    spawn(this, QStringLiteral("dictionary change"),
          [self, api = api_, id, term = std::move(term), replacement = std::move(replacement),
           note = std::move(note)](std::stop_token) -> QCoro::Task<void> {
              const Outcome<DictEntry> change = co_await outcomeOf(api->upsertDictEntry(id, term, replacement, note));
              if (!self)
                  co_return;
              if (change.failure) {
                  self->errorText = userFacingDescription(change.failure, L10n::Errors::unknown());
                  co_return;
              }
              const std::optional<DictEntry>& saved = change.value;
              QList<DictEntry> list = self->entries.value();
              const auto same = std::find_if(list.begin(), list.end(),
                                             [&](const DictEntry& entry) { return entry.id == saved->id; });
              if (same != list.end())
                  *same = *saved;
              else
                  list.append(*saved);
              sortByTerm(list);
              self->showChange(std::move(list));
              // By what was asked, not by what the list held.
              self->flash(id ? QStringLiteral("已更新") : QStringLiteral("已添加"));
              self->showAddSheet = false;
              self->stopEditing();
          });
}

void DictionaryViewModel::remove(const DictEntry& entry)
{
    QPointer<DictionaryViewModel> self(this);
    spawn(this, QStringLiteral("dictionary deletion"),
          [self, api = api_, id = entry.id](std::stop_token) -> QCoro::Task<void> {
              const Outcome<void> deleted = co_await outcomeOf(api->deleteDictEntry(id));
              if (!self)
                  co_return;
              if (deleted.failure) {
                  self->errorText = userFacingDescription(deleted.failure, L10n::Errors::unknown());
                  co_return;
              }
              QList<DictEntry> list = self->entries.value();
              list.removeIf([id](const DictEntry& e) { return e.id == id; });
              self->showChange(std::move(list));
              self->flash(QStringLiteral("已删除"));
          });
}

void DictionaryViewModel::showChange(QList<DictEntry> list)
{
    // The error state hides the list: a refused change the user has since
    // corrected must not keep hiding what the correction added.
    clear(errorText);
    entries = std::move(list);
    refreshesBeforeLastChange_ = startedRefreshes_;
}

void DictionaryViewModel::stopEditing()
{
    clear(editing);
}

void DictionaryViewModel::flash(const QString& text)
{
    toast = text;
    // Each toast's wait clears whatever shows when it ends; a later toast
    // does not cut an earlier wait short.
    QPointer<DictionaryViewModel> self(this);
    spawn(this, QStringLiteral("dictionary toast"),
          [self, sleep = sleep_](std::stop_token token) -> QCoro::Task<void> {
              try {
                  co_await sleep(toastDuration, token);
              } catch (...) {
              }
              if (self)
                  clear(self->toast);
          });
}

QList<DictEntry> DictionaryViewModel::filter(const QList<DictEntry>& entries, const QString& query)
{
    const QString needle = query.trimmed().toLower();
    if (needle.isEmpty())
        return entries;
    QList<DictEntry> hits;
    for (const DictEntry& entry : entries) {
        if (entry.term.toLower().contains(needle) || entry.replacement.toLower().contains(needle)
            || entry.note.toLower().contains(needle))
            hits.append(entry);
    }
    return hits;
}

void DictionaryViewModel::sortByTerm(QList<DictEntry>& entries)
{
    // One sort key per entry, compared cheaply, instead of collating the
    // terms again at every comparison: thousands of entries sort at once.
    const QCollator collator{QLocale()};
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        keys.emplace_back(collator.sortKey(entries[i].term), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QList<DictEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys)
        sorted.append(std::move(entries[key.second]));
    entries = std::move(sorted);
}

} // namespace vellamor
