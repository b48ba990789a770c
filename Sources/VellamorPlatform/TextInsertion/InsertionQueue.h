#pragma once

#include <coroutine>
#include <deque>
#include <memory>

namespace vellamor {

// Lets one insertion at a time touch the keyboard, the keymap and the
// clipboard. Two interleaved insertions would remap each other's spare keys
// and save each other's temporary clipboard as the one to restore. Waiters
// enter in order. Main thread only.
class InsertionQueue {
public:
    class Ticket {
    public:
        Ticket() = default;
        explicit Ticket(std::shared_ptr<InsertionQueue> queue) : queue_(std::move(queue)) {}
        Ticket(Ticket&& other) noexcept : queue_(std::move(other.queue_)) {}
        Ticket& operator=(Ticket&& other) noexcept;
        ~Ticket() { release(); }

        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;

        void release();

    private:
        std::shared_ptr<InsertionQueue> queue_;
    };

    // The queue every inserter of the process shares unless given its own.
    static std::shared_ptr<InsertionQueue> shared();

    // co_await enter(queue) gives a Ticket once every earlier ticket is
    // released; the next waiter is resumed on a later turn of the event loop.
    static auto enter(std::shared_ptr<InsertionQueue> queue)
    {
        struct Awaiter {
            std::shared_ptr<InsertionQueue> queue;

            bool await_ready() const
            {
                if (queue->busy_)
                    return false;
                queue->busy_ = true;
                return true;
            }
            void await_suspend(std::coroutine_handle<> handle) { queue->waiters_.push_back(handle); }
            Ticket await_resume() { return Ticket(queue); }
        };
        return Awaiter{std::move(queue)};
    }

    bool isBusy() const { return busy_; }
    std::size_t waiting() const { return waiters_.size(); }

private:
    void leave();

    bool busy_ = false;
    std::deque<std::coroutine_handle<>> waiters_;
};

} // namespace vellamor
