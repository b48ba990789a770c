#include "TextInsertion/InsertionQueue.h"

#include "Support/Async/MainThread.h"

namespace vellamor {

InsertionQueue::Ticket& InsertionQueue::Ticket::operator=(Ticket&& other) noexcept
{
    if (this != &other) {
        release();
        queue_ = std::move(other.queue_);
    }
    return *this;
}

void InsertionQueue::Ticket::release()
{
    if (auto queue = std::move(queue_))
        queue->leave();
}

std::shared_ptr<InsertionQueue> InsertionQueue::shared()
{
    static const auto queue = std::make_shared<InsertionQueue>();
    return queue;
}

void InsertionQueue::leave()
{
    if (waiters_.empty()) {
        busy_ = false;
        return;
    }
    // The queue stays busy: the ticket passes straight to the next waiter.
    const auto next = waiters_.front();
    waiters_.pop_front();
    postToMainThread([next] { next.resume(); });
}

} // namespace vellamor
