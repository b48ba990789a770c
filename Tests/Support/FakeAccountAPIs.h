#pragma once

#include "Account/UsageAPIError.h"
#include "Account/UsageAPIProtocol.h"
#include "Account/WalletAPIProtocol.h"
#include "AnsweredCalls.h"

namespace vellamor::test {

// The account's plan and points, each answered when the test says.
class FakeAccountAPIs final : public UsageAPIProtocol, public WalletAPIProtocol {
public:
    AnsweredCalls<PlanInfo> plans;
    AnsweredCalls<WalletInfo> wallets;

    QCoro::Task<UsageAggregate> fetchUsage(QString) override { throw UsageAPIError::unauthorized(); }
    QCoro::Task<PlanInfo> fetchPlan() override { return plans.wait(); }
    QCoro::Task<WalletInfo> fetchWallet() override { return wallets.wait(); }
};

} // namespace vellamor::test
