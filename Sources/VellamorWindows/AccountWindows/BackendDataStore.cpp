#include "AccountWindows/BackendDataStore.h"

#include "Auth/AuthSessionObserver.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <QPointer>

namespace vellamor {

BackendDataStore::BackendDataStore(std::shared_ptr<AuthSessionObserver> session,
                                   std::shared_ptr<UsageAPIProtocol> usage, std::shared_ptr<WalletAPIProtocol> wallet,
                                   QObject* parent)
    : QObject(parent)
    , session_(std::move(session))
    , usage_(std::move(usage))
    , walletAPI_(std::move(wallet))
{
}

void BackendDataStore::reload()
{
    if (!session_->state().isAuthenticated()) {
        reset();
        return;
    }
    const quint64 generation = ++generation_;
    loading_ = true;
    emit changed();
    QPointer<BackendDataStore> self(this);
    const std::shared_ptr<UsageAPIProtocol> usage = usage_;
    const std::shared_ptr<WalletAPIProtocol> walletAPI = walletAPI_;
    spawn(this, QStringLiteral("account page reload"),
          [self, usage, walletAPI, generation](std::stop_token) -> QCoro::Task<void> {
              const auto current = [&] { return self && self->generation_ == generation; };
              std::optional<PlanInfo> plan;
              std::optional<WalletInfo> wallet;
              std::optional<QString> failure;
              try {
                  plan = co_await usage->fetchPlan();
                  if (current())
                      wallet = co_await walletAPI->fetchWallet();
              } catch (const Error& error) {
                  failure = error.errorDescription();
              } catch (const std::exception& error) {
                  failure = QString::fromUtf8(error.what());
              }
              if (!current())
                  co_return;
              if (failure) {
                  self->errorText_ = failure;
              } else {
                  self->plan_ = std::move(plan);
                  self->wallet_ = std::move(wallet);
                  self->errorText_.reset();
              }
              self->loading_ = false;
              emit self->changed();
          });
}

void BackendDataStore::reset()
{
    ++generation_;
    plan_.reset();
    wallet_.reset();
    errorText_.reset();
    loading_ = false;
    emit changed();
}

} // namespace vellamor
