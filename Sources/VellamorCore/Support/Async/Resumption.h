#pragma once

#include "Support/Async/MainThread.h"

#include <QPointer>

#include <atomic>
#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor::detail {

// One suspended coroutine that is woken exactly once, with a reason, on a later
// turn of the event loop of the thread it suspended on. Whoever fires first
// wins (a value, a finish, a timer, a cancellation); later fires are ignored.
// Resuming through the event loop keeps wake-ups from re-entering the code
// that caused them: a cancel() or push() never runs the waiter inline.
class Resumption : public std::enable_shared_from_this<Resumption> {
public:
    enum class Reason { Signalled, Cancelled };

    static std::shared_ptr<Resumption> make() { return std::make_shared<Resumption>(); }

    // Safe from any thread. Returns true when this call woke the coroutine.
    bool fire(Reason reason)
    {
        if (fired_.exchange(true, std::memory_order_acq_rel))
            return false;
        reason_ = reason;
        postTo(context_.data(), [self = shared_from_this()] { self->handle_.resume(); });
        return true;
    }

    // Suspends the calling coroutine. `registerWaker` receives this object
    // only once the coroutine is ready to be resumed, so a firer on another
    // thread can never see a half-suspended coroutine. A stop request on
    // `token` fires with Reason::Cancelled.
    template<typename Register>
    auto suspend(std::stop_token token, Register registerWaker)
    {
        struct Awaiter {
            std::shared_ptr<Resumption> self;
            std::stop_token token;
            Register registerWaker;

            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> handle)
            {
                self->handle_ = handle;
                self->context_ = currentThreadContext();
                registerWaker(self);
                if (token.stop_possible()) {
                    std::weak_ptr<Resumption> weak = self;
                    self->onStop_.emplace(token, [weak] {
                        if (auto strong = weak.lock())
                            strong->fire(Reason::Cancelled);
                    });
                }
            }
            Reason await_resume()
            {
                self->onStop_.reset();
                return self->reason_;
            }
        };
        return Awaiter{shared_from_this(), std::move(token), std::move(registerWaker)};
    }

private:
    std::atomic<bool> fired_{false};
    Reason reason_ = Reason::Signalled;
    std::coroutine_handle<> handle_;
    QPointer<QObject> context_;
    std::optional<std::stop_callback<std::function<void()>>> onStop_;
};

} // namespace vellamor::detail
