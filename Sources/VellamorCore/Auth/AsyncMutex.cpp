#include "Auth/AsyncMutex.h"

#include "Support/Async/Resumption.h"

#include <deque>
#include <utility>

namespace vellamor {

struct AsyncMutex::State {
    bool locked = false;
    std::deque<std::shared_ptr<detail::Resumption>> waiters;
};

AsyncMutex::Guard::Guard(std::shared_ptr<State> state) : state_(std::move(state)) {}

AsyncMutex::Guard::Guard(Guard&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}

AsyncMutex::Guard& AsyncMutex::Guard::operator=(Guard&& other) noexcept
{
    if (this != &other) {
        unlock();
        state_ = std::exchange(other.state_, nullptr);
    }
    return *this;
}

AsyncMutex::Guard::~Guard()
{
    unlock();
}

void AsyncMutex::Guard::unlock()
{
    auto state = std::exchange(state_, nullptr);
    if (!state)
        return;
    if (state->waiters.empty()) {
        state->locked = false;
        return;
    }
    // The lock passes straight to the next waiter, so nobody can slip in
    // before it resumes.
    auto next = std::move(state->waiters.front());
    state->waiters.pop_front();
    next->fire(detail::Resumption::Reason::Signalled);
}

AsyncMutex::AsyncMutex() : state_(std::make_shared<State>()) {}

bool AsyncMutex::isLocked() const
{
    return state_->locked;
}

QCoro::Task<AsyncMutex::Guard> AsyncMutex::lock()
{
    auto state = state_;
    if (!state->locked) {
        state->locked = true;
        co_return Guard(state);
    }
    auto resumption = detail::Resumption::make();
    co_await resumption->suspend({}, [&state](auto waker) { state->waiters.push_back(waker); });
    co_return Guard(state);
}

} // namespace vellamor
