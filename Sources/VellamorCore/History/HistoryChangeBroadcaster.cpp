#include "History/HistoryChangeBroadcaster.h"

#include <vector>

namespace vellamor {

HistoryChangeStream HistoryChangeBroadcaster::subscribe()
{
    const QUuid id = QUuid::createUuid();
    Channel<HistoryChangeEvent> channel;
    const std::weak_ptr<HistoryChangeBroadcaster> weak = weak_from_this();
    if (weak.expired()) {
        channel.finish();
        return HistoryChangeStream(channel);
    }
    {
        std::lock_guard lock(mutex_);
        continuations_.emplace(id, channel);
    }
    // Runs on whichever thread ends the stream, possibly after the
    // broadcaster is gone.
    channel.onTermination([weak, id](ChannelTermination) {
        if (const auto self = weak.lock()) {
            std::lock_guard lock(self->mutex_);
            self->continuations_.erase(id);
        }
    });
    return HistoryChangeStream(channel);
}

void HistoryChangeBroadcaster::publish(const HistoryChangeEvent& event)
{
    std::vector<Channel<HistoryChangeEvent>> targets;
    {
        std::lock_guard lock(mutex_);
        targets.reserve(continuations_.size());
        for (const auto& entry : continuations_)
            targets.push_back(entry.second);
    }
    // Outside the lock: a stream ending meanwhile takes the lock in its
    // termination handler, and an ended stream ignores the push.
    for (const auto& target : targets)
        target.push(event);
}

std::size_t HistoryChangeBroadcaster::subscriberCount() const
{
    std::lock_guard lock(mutex_);
    return continuations_.size();
}

} // namespace vellamor
