#pragma once

#include "Account/UsageAPIError.h"
#include "Account/UsageAPIProtocol.h"
#include "Account/WalletAPIProtocol.h"
#include "Support/Async/Channel.h"

#include <variant>

namespace vellamor::test {

// Calls that wait until the test answers them, in any order: `calls[i]`
// carries the i-th call's answer.
template<typename T>
class AnsweredCalls {
public:
    QList<Channel<std::variant<T, std::exception_ptr>>> calls;

    void answer(qsizetype call, T value) { calls.at(call).push(std::move(value)); }
    void fail(qsizetype call, const UsageAPIError& error) { calls.at(call).push(std::make_exception_ptr(error)); }

    QCoro::Task<T> wait()
    {
        Channel<std::variant<T, std::exception_ptr>> channel;
        calls.append(channel);
        auto answer = co_await channel.next();
        if (auto* error = std::get_if<std::exception_ptr>(&*answer))
            std::rethrow_exception(*error);
        co_return std::get<T>(std::move(*answer));
    }
};

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
