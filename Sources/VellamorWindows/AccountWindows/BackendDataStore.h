#pragma once

#include "Account/PlanInfo.h"
#include "Account/UsageAPIProtocol.h"
#include "Account/WalletAPIProtocol.h"
#include "Account/WalletInfo.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

class AuthSessionObserver;

// The signed-in account's plan and points, fetched when the account page
// asks and forgotten on sign-out; nothing outlives the page. Reloads may
// overlap: each one and every reset() starts a new generation, and only a
// reload of the current generation publishes or ends the loading state, so
// a slow answer for an earlier account never lands on the page. Main
// thread only.
class BackendDataStore : public QObject {
    Q_OBJECT

public:
    BackendDataStore(std::shared_ptr<AuthSessionObserver> session, std::shared_ptr<UsageAPIProtocol> usage,
                     std::shared_ptr<WalletAPIProtocol> wallet, QObject* parent = nullptr);

    bool loading() const { return loading_; }
    const std::optional<PlanInfo>& plan() const { return plan_; }
    const std::optional<WalletInfo>& wallet() const { return wallet_; }
    // Why the last reload failed; kept until one succeeds or a reset().
    const std::optional<QString>& errorText() const { return errorText_; }

    // The plan, then the points, one after the other; both are published
    // together or neither. Signed out, it resets instead.
    void reload();
    void reset();

signals:
    void changed();

private:
    std::shared_ptr<AuthSessionObserver> session_;
    std::shared_ptr<UsageAPIProtocol> usage_;
    std::shared_ptr<WalletAPIProtocol> walletAPI_;
    quint64 generation_ = 0;
    bool loading_ = false;
    std::optional<PlanInfo> plan_;
    std::optional<WalletInfo> wallet_;
    std::optional<QString> errorText_;
};

} // namespace vellamor
