#pragma once

#include "DataSync/DataSyncAPIProtocol.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor {

class AuthSessionObserver;

// The state of the dictionary window and the changes the user asks for,
// carried out through the window's own data-sync client. Entries are kept
// sorted by term; the first reload shows the client's local cache until the
// answer comes; a change is confirmed by a short toast; the list reloads
// when the user really signs in or out, also while the window is closed.
//
// Operations return at once and finish in tasks tied to the model. Reloads
// may overlap: the first to end clears `isLoading`, and a reload that ends
// after a later one has been applied is dropped, so an older answer never
// overwrites a newer one. A reload started before a change the list shows is
// dropped as it ends, without clearing `isLoading`, and the newest of them
// runs again: its answer could bring a deleted entry back or lose an added
// one. `errorText` is cleared by the next reload and by a change that
// succeeds; `connection` changes only when a reload succeeds. Main thread only.
class DictionaryViewModel : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds toastDuration{1400};
    static QString notSyncedYet() { return QStringLiteral("尚未同步"); }

    struct Dependencies {
        std::shared_ptr<DataSyncAPIProtocol> api;
        std::shared_ptr<AuthSessionObserver> auth;
        // How the toast waits.
        SleepFunction sleep;
    };

    explicit DictionaryViewModel(Dependencies dependencies, QObject* parent = nullptr);
    ~DictionaryViewModel() override;

    // Sorted by term.
    Published<QList<DictEntry>> entries;
    Published<QString> query;
    Published<bool> isLoading{false};
    Published<std::optional<QString>> errorText;
    Published<DataSyncConnection> connection{DataSyncConnection::local(notSyncedYet())};
    Published<std::optional<QString>> toast;
    // The editor sheets and the sign-in sheet the view presents.
    Published<bool> showAddSheet{false};
    Published<std::optional<DictEntry>> editing;
    Published<bool> showAuthSheet{false};

    void refresh();
    // The entries matching `query`, in their order.
    QList<DictEntry> filtered() const { return filter(entries.value(), query.value()); }
    // Adds an entry (no id) or changes the entry `id`; the four values go to
    // the client as given. Success closes the editor sheets.
    void upsert(std::optional<qint64> id, QString term, QString replacement, QString note);
    void remove(const DictEntry& entry);
    // Closes the edit sheet.
    void stopEditing();

    // The entries whose term, replacement or note holds the trimmed query,
    // ignoring case; all of them for a blank query.
    static QList<DictEntry> filter(const QList<DictEntry>& entries, const QString& query);
    // By term in the current locale's collation; equal terms keep their order.
    static void sortByTerm(QList<DictEntry>& entries);

private:
    void flash(const QString& text);
    // Shows the list a confirmed change left, in place of any error; reloads
    // already started may have been read before it.
    void showChange(QList<DictEntry> list);

    std::shared_ptr<DataSyncAPIProtocol> api_;
    SleepFunction sleep_;
    std::optional<bool> lastAuthIsAuthenticated_;
    Subscription authSubscription_;
    quint64 startedRefreshes_ = 0;
    quint64 appliedRefresh_ = 0;
    // Reloads numbered up to this one started before the last change shown.
    quint64 refreshesBeforeLastChange_ = 0;
};

} // namespace vellamor
