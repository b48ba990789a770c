#pragma once

#include <QCoro/QCoroTask>

#include <memory>

namespace vellamor {

// A mutual-exclusion lock for coroutines on one thread: `co_await lock()`
// returns a Guard that holds the lock until it is destroyed or unlocked.
// Waiters get the lock in the order they asked, each on a later turn of the
// event loop. Not re-entrant. Main thread only.
class AsyncMutex {
    struct State;

public:
    class Guard {
    public:
        Guard() = default;
        Guard(Guard&& other) noexcept;
        Guard& operator=(Guard&& other) noexcept;
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard();

        void unlock();

    private:
        friend class AsyncMutex;
        explicit Guard(std::shared_ptr<State> state);
        std::shared_ptr<State> state_;
    };

    AsyncMutex();

    QCoro::Task<Guard> lock();
    bool isLocked() const;

private:
    std::shared_ptr<State> state_;
};

} // namespace vellamor
