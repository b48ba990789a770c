#include "Support/Async/TaskHandle.h"

#include "Support/Async/Resumption.h"

#include <vector>

namespace vellamor {

struct TaskHandle::State {
    std::stop_source stopSource;
    bool finished = false;
    std::exception_ptr error;
    std::vector<std::shared_ptr<detail::Resumption>> joiners;
};

TaskHandle TaskHandle::start(Body body)
{
    TaskHandle handle;
    handle.state_ = std::make_shared<State>();
    // The returned QCoro task is dropped on purpose: QCoro keeps a running
    // coroutine alive until it finishes, and `run` records how it ended.
    run(handle.state_, std::move(body));
    return handle;
}

QCoro::Task<void> TaskHandle::run(std::shared_ptr<State> state, Body body)
{
    try {
        co_await body(state->stopSource.get_token());
    } catch (...) {
        state->error = std::current_exception();
    }
    state->finished = true;
    auto joiners = std::move(state->joiners);
    for (auto& joiner : joiners)
        joiner->fire(detail::Resumption::Reason::Signalled);
}

void TaskHandle::cancel() const
{
    if (state_)
        state_->stopSource.request_stop();
}

bool TaskHandle::isCancelled() const
{
    return state_ && state_->stopSource.stop_requested();
}

bool TaskHandle::isFinished() const
{
    return !state_ || state_->finished;
}

QCoro::Task<void> TaskHandle::join() const
{
    auto state = state_;
    if (!state)
        co_return;
    if (!state->finished) {
        co_await detail::Resumption::make()->suspend({}, [&state](auto waker) { state->joiners.push_back(waker); });
    }
    if (state->error)
        std::rethrow_exception(state->error);
}

} // namespace vellamor
