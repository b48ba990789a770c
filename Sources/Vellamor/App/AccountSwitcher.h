#pragma once

#include "Account/PreferencesAPIProtocol.h"
#include "App/StepQueue.h"
#include "Auth/AuthState.h"
#include "History/HistoryChangeBroadcaster.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "InputSources/SourceCommandSessionProtocol.h"
#include "Logging/VellamorLog.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Follows the signed-in account: its history store, the store's cloud sync
// (the engine uploads new records itself while started), and the phones'
// command connection. Sign-in states are applied one after another in
// publication order; another account's uploads and commands end before the
// next one's begin.
class AccountSwitcher : public QObject {
    Q_OBJECT

public:
    struct Collaborators {
        std::shared_ptr<LocalHistoryStore> anonymousStore;
        std::shared_ptr<HistoryChangeBroadcaster> broadcaster;
        std::optional<QString> historyBaseDirectory;
        // Outlives the switcher.
        HistorySyncEngine* syncEngine;
        std::shared_ptr<SourceCommandSessionProtocol> commands;
        std::function<std::shared_ptr<PreferencesAPIProtocol>()> serverPreferences;
    };
    struct Hooks {
        std::function<void()> signedIn;
        // The phones' connection has ended.
        std::function<void()> signedOut;
        // Everything that writes or shows history moves to `store`.
        std::function<void(const std::shared_ptr<LocalHistoryStore>& store)> storeChanged;
    };

    AccountSwitcher(Collaborators collaborators, Hooks hooks, VellamorLog log, QObject* parent = nullptr);
    ~AccountSwitcher() override;

    const std::shared_ptr<LocalHistoryStore>& store() const { return store_; }

    void apply(const AuthState& state);
    // Ends uploads, sync and commands, and writes the store out.
    void stop();

private:
    QCoro::Task<void> transition(AuthState state);
    QCoro::Task<void> signOutSteps();
    void switchStore(const std::optional<QString>& userID);
    // Lets the sync engine run once the account says it keeps its history
    // in the cloud.
    void followCloudHistorySetting(qint64 userID);

    Collaborators collaborators_;
    Hooks hooks_;
    VellamorLog log_;
    std::shared_ptr<LocalHistoryStore> store_;
    std::optional<qint64> signedInUserID_;
    StepQueue transitions_;
};

} // namespace vellamor
