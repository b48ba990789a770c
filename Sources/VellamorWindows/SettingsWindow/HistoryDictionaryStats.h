#pragma once

#include "Account/PreferencesAPIProtocol.h"
#include "DataSync/DataSyncAPIProtocol.h"
#include "Support/Async/Published.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

class AuthSessionObserver;
class HistorySyncEngine;
class LocalHistoryStore;

// What the history-and-dictionary section shows, as of its last refresh.
class HistoryDictionaryStats : public std::enable_shared_from_this<HistoryDictionaryStats> {
public:
    // Where the statistics come from; an empty member reads as "not there".
    struct Sources {
        // Signed in or not.
        std::shared_ptr<AuthSessionObserver> auth;
        // The history store in use and the sync engine, as they are now.
        std::function<std::shared_ptr<LocalHistoryStore>()> historyStore;
        std::function<HistorySyncEngine*()> historySyncEngine;
        std::shared_ptr<DataSyncAPIProtocol> syncAPI;
        std::shared_ptr<PreferencesAPIProtocol> preferencesAPI;
    };

    explicit HistoryDictionaryStats(Sources sources);

    Published<int> historyCount{0};
    Published<int> dictCount{0};
    Published<bool> historySyncEnabled{false};
    // The server's setting was read at the last refresh.
    Published<bool> canToggle{false};
    Published<std::optional<QString>> toggleError;
    // A change of the setting is on its way to the server.
    Published<bool> updating{false};

    QString historyCountLabel() const;
    QString dictCountLabel() const;
    QString syncDescription() const;
    QString lastSyncDescription() const;

    // Each starts a task that keeps the statistics until it ends. A refresh
    // leaves the switch and its error alone when the user changed the
    // setting after it started or while it was on its way.
    void refresh();
    void setHistorySync(bool enabled);
    void triggerSyncNow();

private:
    static QCoro::Task<void> refreshing(std::weak_ptr<HistoryDictionaryStats> weak);
    static QCoro::Task<void> sending(std::weak_ptr<HistoryDictionaryStats> weak, bool enabled, bool previous);
    bool signedIn() const;

    Sources sources_;
    quint64 switchTurns_ = 0;
};

} // namespace vellamor
