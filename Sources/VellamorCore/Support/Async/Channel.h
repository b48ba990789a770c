#pragma once

#include "Support/Async/Resumption.h"

#include <QCoro/QCoroTask>

#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace vellamor {

// How a channel ended, as told to its on-termination callback.
enum class ChannelTermination { Finished, Cancelled };

// A single-consumer stream of values fed from any thread: what Swift calls an
// AsyncThrowingStream and its continuation. Copies share one channel.
//
// push() never blocks. The consumer awaits next(), which yields the buffered
// values in push order, then either ends (empty optional) or rethrows the
// error the channel was finished with. A stop request on the consumer's token
// ends the stream as a normal end once the consumer would have to wait: what
// is already buffered is still handed out, what would come later is dropped.
// Values pushed after the end are ignored.
template<typename T>
class Channel {
public:
    // Unbounded: nothing is ever dropped.
    Channel() : state_(std::make_shared<State>()) {}

    // Keeps only the newest `capacity` values when the consumer falls behind.
    static Channel keepingNewest(std::size_t capacity)
    {
        Channel channel;
        channel.state_->capacity = capacity;
        return channel;
    }

    // Returns false when the value was ignored because the channel has ended.
    bool push(T value) const
    {
        std::shared_ptr<detail::Resumption> waiter;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->terminated)
                return false;
            if (state_->capacity) {
                if (*state_->capacity == 0)
                    return true;
                while (state_->buffer.size() >= *state_->capacity)
                    state_->buffer.pop_front();
            }
            state_->buffer.push_back(std::move(value));
            waiter = std::move(state_->waiter);
        }
        if (waiter)
            waiter->fire(detail::Resumption::Reason::Signalled);
        return true;
    }

    void finish() const { terminate(state_, ChannelTermination::Finished, nullptr); }

    // The consumer receives the buffered values first, then this error.
    void finish(std::exception_ptr error) const { terminate(state_, ChannelTermination::Finished, std::move(error)); }

    // Called once, on the thread that ends the channel, when it ends.
    void onTermination(std::function<void(ChannelTermination)> callback) const
    {
        std::lock_guard lock(state_->mutex);
        state_->onTermination = std::move(callback);
    }

    bool isTerminated() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->terminated;
    }

    // Values pushed and not yet taken. A producer on the consumer's thread
    // can tell from it that its next push will drop the oldest value.
    std::size_t bufferedCount() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->buffer.size();
    }

    QCoro::Task<std::optional<T>> next(std::stop_token token = {}) const
    {
        auto state = state_;
        for (;;) {
            {
                std::lock_guard lock(state->mutex);
                if (!state->buffer.empty()) {
                    T value = std::move(state->buffer.front());
                    state->buffer.pop_front();
                    co_return std::optional<T>(std::move(value));
                }
                if (state->terminated) {
                    if (auto error = std::exchange(state->error, nullptr))
                        std::rethrow_exception(error);
                    co_return std::nullopt;
                }
            }
            if (token.stop_requested()) {
                terminate(state, ChannelTermination::Cancelled, nullptr);
                co_return std::nullopt;
            }
            auto resumption = detail::Resumption::make();
            const auto reason = co_await resumption->suspend(token, [&state](auto waker) {
                bool ready;
                {
                    std::lock_guard lock(state->mutex);
                    ready = !state->buffer.empty() || state->terminated;
                    if (!ready)
                        state->waiter = waker;
                }
                // Something arrived between the check above and suspending.
                if (ready)
                    waker->fire(detail::Resumption::Reason::Signalled);
            });
            if (reason == detail::Resumption::Reason::Cancelled) {
                terminate(state, ChannelTermination::Cancelled, nullptr);
                co_return std::nullopt;
            }
        }
    }

private:
    struct State {
        std::mutex mutex;
        std::deque<T> buffer;
        std::optional<std::size_t> capacity;
        bool terminated = false;
        std::exception_ptr error;
        std::shared_ptr<detail::Resumption> waiter;
        std::function<void(ChannelTermination)> onTermination;
    };

    // Static: next() must not touch `this`, which may be gone while it waits.
    static void terminate(const std::shared_ptr<State>& state, ChannelTermination how, std::exception_ptr error)
    {
        std::shared_ptr<detail::Resumption> waiter;
        std::function<void(ChannelTermination)> callback;
        {
            std::lock_guard lock(state->mutex);
            if (state->terminated)
                return;
            state->terminated = true;
            state->error = std::move(error);
            if (how == ChannelTermination::Cancelled)
                state->buffer.clear();
            waiter = std::move(state->waiter);
            callback = std::move(state->onTermination);
        }
        if (waiter)
            waiter->fire(detail::Resumption::Reason::Signalled);
        if (callback)
            callback(how);
    }

    std::shared_ptr<State> state_;
};

} // namespace vellamor
