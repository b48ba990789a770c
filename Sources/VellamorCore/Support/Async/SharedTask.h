#pragma once

#include "Support/Async/Resumption.h"
#include "Support/Error.h"

#include <QCoro/QCoroTask>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace vellamor {

// One running operation whose single result or error every awaiter shares,
// e.g. one token refresh for all callers that need a fresh token at once.
// Copies share the operation. Main-thread only, like the actors that use it.
template<typename T>
class SharedTask {
public:
    using Operation = std::function<QCoro::Task<T>(std::stop_token)>;

    SharedTask() = default;

    // Starts `operation` at once.
    static SharedTask start(Operation operation)
    {
        SharedTask task;
        task.state_ = std::make_shared<State>();
        run(task.state_, std::move(operation));
        return task;
    }

    bool isValid() const { return static_cast<bool>(state_); }
    bool isFinished() const { return state_ && state_->finished; }

    // Asks the operation to stop; awaiters then get whatever it ends with.
    void cancel() const
    {
        if (state_)
            state_->stopSource.request_stop();
    }

    // The operation's result, or its exception rethrown. A stop request on
    // `token` abandons only this awaiter's wait (CancellationError); the
    // operation goes on for the others.
    QCoro::Task<T> value(std::stop_token token = {}) const
    {
        auto state = state_;
        if (!state->finished) {
            const auto reason = co_await detail::Resumption::make()->suspend(
                token, [&state](auto waker) { state->awaiters.push_back(waker); });
            if (reason == detail::Resumption::Reason::Cancelled && !state->finished)
                throw CancellationError();
        }
        if (state->error)
            std::rethrow_exception(state->error);
        // A copy: QCoro 0.8's return_value moves from any non-const lvalue,
        // which would leave the shared result empty for the next awaiter.
        co_return T(*state->result);
    }

private:
    struct State {
        std::stop_source stopSource;
        bool finished = false;
        std::optional<T> result;
        std::exception_ptr error;
        std::vector<std::shared_ptr<detail::Resumption>> awaiters;
    };

    static QCoro::Task<void> run(std::shared_ptr<State> state, Operation operation)
    {
        try {
            state->result.emplace(co_await operation(state->stopSource.get_token()));
        } catch (...) {
            state->error = std::current_exception();
        }
        state->finished = true;
        auto awaiters = std::move(state->awaiters);
        for (auto& awaiter : awaiters)
            awaiter->fire(detail::Resumption::Reason::Signalled);
    }

    std::shared_ptr<State> state_;
};

} // namespace vellamor
