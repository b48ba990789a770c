#include "History/HistoryChangeStream.h"

#include <utility>

namespace vellamor {

HistoryChangeStream::HistoryChangeStream(Channel<HistoryChangeEvent> channel)
    : channel_(std::move(channel))
{
}

HistoryChangeStream::~HistoryChangeStream()
{
    end();
}

HistoryChangeStream::HistoryChangeStream(HistoryChangeStream&& other) noexcept
    : channel_(std::exchange(other.channel_, std::nullopt))
{
}

HistoryChangeStream& HistoryChangeStream::operator=(HistoryChangeStream&& other) noexcept
{
    if (this != &other) {
        end();
        channel_ = std::exchange(other.channel_, std::nullopt);
    }
    return *this;
}

QCoro::Task<std::optional<HistoryChangeEvent>> HistoryChangeStream::next(std::stop_token token) const
{
    if (!channel_)
        return []() -> QCoro::Task<std::optional<HistoryChangeEvent>> { co_return std::nullopt; }();
    // The channel's own task holds the channel's state, not this object.
    return channel_->next(std::move(token));
}

void HistoryChangeStream::end()
{
    // The producer side stays in the broadcaster; only finishing runs its
    // termination handler, so dropping the last consumer copy is not enough.
    if (channel_)
        channel_->finish();
    channel_.reset();
}

} // namespace vellamor
