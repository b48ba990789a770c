#pragma once

#include "InputSources/SourceCommandSession.h"
#include "Support/Async/Channel.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace vellamor::test {

// Virtual time: now() stands still, and a sleep ends only when the test
// moves the clock to its end (or at once on a stop request, returning false).
class ManualSteadyClock {
public:
    SourceCommandSession::Clock clock() const
    {
        return SourceCommandSession::Clock{[state = state_] { return state->now; }, sleeper()};
    }
    SleepFunction sleeper() const
    {
        return [state = state_](std::chrono::milliseconds duration, std::stop_token token) {
            return sleep(state, duration, std::move(token));
        };
    }

    void advance(std::chrono::milliseconds by)
    {
        state_->now += by;
        std::vector<Sleeper> waiting;
        for (Sleeper& sleeper : state_->sleepers) {
            if (sleeper.due <= state_->now)
                sleeper.wake.push(true);
            else
                waiting.push_back(sleeper);
        }
        state_->sleepers = std::move(waiting);
    }

    // Every sleep begun so far, ended or not.
    int sleepsBegun() const { return state_->begun; }

private:
    struct Sleeper {
        std::chrono::steady_clock::time_point due;
        Channel<bool> wake;
    };
    struct State {
        std::chrono::steady_clock::time_point now{};
        std::vector<Sleeper> sleepers;
        int begun = 0;
    };

    static QCoro::Task<bool> sleep(std::shared_ptr<State> state, std::chrono::milliseconds duration,
                                   std::stop_token token)
    {
        const Channel<bool> wake;
        ++state->begun;
        state->sleepers.push_back(Sleeper{state->now + duration, wake});
        co_return (co_await wake.next(std::move(token))).has_value();
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace vellamor::test
