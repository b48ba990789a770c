#include "App/AccountSwitcher.h"

#include "Support/Async/Spawn.h"

#include <QPointer>

#include <utility>

namespace vellamor {

AccountSwitcher::AccountSwitcher(Collaborators collaborators, Hooks hooks, VellamorLog log, QObject* parent)
    : QObject(parent)
    , collaborators_(std::move(collaborators))
    , hooks_(std::move(hooks))
    , log_(std::move(log))
    , store_(collaborators_.anonymousStore)
    , transitions_(this, QStringLiteral("auth transition"))
{
}

AccountSwitcher::~AccountSwitcher()
{
    transitions_.cancel();
}

void AccountSwitcher::apply(const AuthState& state)
{
    QPointer<AccountSwitcher> weak(this);
    transitions_.enqueue([weak, state]() -> QCoro::Task<void> {
        if (weak)
            co_await weak->transition(state);
    });
}

void AccountSwitcher::stop()
{
    collaborators_.syncEngine->stop();
    const std::shared_ptr<SourceCommandSessionProtocol> commands = collaborators_.commands;
    spawn(this, QStringLiteral("source command session stop"),
          [commands](std::stop_token) -> QCoro::Task<void> { co_await commands->stop(); });
    const std::shared_ptr<LocalHistoryStore> store = store_;
    spawn(this, QStringLiteral("history flush"),
          [store](std::stop_token) -> QCoro::Task<void> { co_await store->flush(); });
}

QCoro::Task<void> AccountSwitcher::transition(AuthState state)
{
    QPointer<AccountSwitcher> self(this);
    if (!state.isAuthenticated()) {
        co_await signOutSteps();
        co_return;
    }
    const qint64 userID = state.me()->userId;
    // The same user again: the server confirmed a session restored offline.
    if (signedInUserID_ == userID)
        co_return;
    if (signedInUserID_ && *signedInUserID_ != userID) {
        co_await signOutSteps();
        if (!self)
            co_return;
    }
    signedInUserID_ = userID;
    hooks_.signedIn();
    const std::shared_ptr<SourceCommandSessionProtocol> commands = collaborators_.commands;
    co_await commands->start();
    if (!self)
        co_return;
    switchStore(QString::number(userID));
    HistorySyncEngine& engine = *collaborators_.syncEngine;
    // Nothing leaves the device until the account says it keeps its history.
    engine.setCloudSyncEnabled(false);
    engine.start(store_);
    followCloudHistorySetting(userID);
}

void AccountSwitcher::followCloudHistorySetting(qint64 userID)
{
    QPointer<AccountSwitcher> weak(this);
    std::shared_ptr<PreferencesAPIProtocol> preferences = collaborators_.serverPreferences();
    spawn(this, QStringLiteral("cloud history setting"),
          [weak, userID, preferences](std::stop_token) -> QCoro::Task<void> {
              bool enabled = false;
              try {
                  enabled = (co_await preferences->getPreferences()).historySync;
              } catch (const std::exception& error) {
                  if (weak)
                      weak->log_.warn(QStringLiteral("cloud history setting unread, history stays local: ")
                                      + QString::fromUtf8(error.what()));
              }
              if (!weak || weak->signedInUserID_ != userID)
                  co_return;
              weak->collaborators_.syncEngine->setCloudSyncEnabled(enabled);
              weak->collaborators_.syncEngine->syncNow();
          });
}

QCoro::Task<void> AccountSwitcher::signOutSteps()
{
    QPointer<AccountSwitcher> self(this);
    signedInUserID_.reset();
    const std::shared_ptr<SourceCommandSessionProtocol> commands = collaborators_.commands;
    co_await commands->stop();
    if (!self)
        co_return;
    hooks_.signedOut();
    collaborators_.syncEngine->stop();
    switchStore(std::nullopt);
}

void AccountSwitcher::switchStore(const std::optional<QString>& userID)
{
    const std::shared_ptr<LocalHistoryStore> old = store_;
    const Collaborators& c = collaborators_;
    std::shared_ptr<LocalHistoryStore> store;
    if (!userID || userID->isEmpty()) {
        store = LocalHistoryStore::anonymous(c.broadcaster, c.historyBaseDirectory);
    } else {
        store = LocalHistoryStore::forUser(*userID, c.broadcaster, c.historyBaseDirectory);
        spawn(this, QStringLiteral("legacy history import"),
              [store](std::stop_token) -> QCoro::Task<void> { co_await store->migrateLegacyJSONIfNeeded(); });
    }
    store_ = store;
    // Whoever writes holds the new store before the old one closes, so a
    // dictation that ends in between is not lost.
    hooks_.storeChanged(store);
    spawn(this, QStringLiteral("history store close"),
          [old](std::stop_token) -> QCoro::Task<void> { co_await old->close(); });
    log_.info(QStringLiteral("history store switched: account=") + store->account());
}

} // namespace vellamor
