#pragma once

#include "Overlay/OverlayTickerClock.h"
#include "Support/Async/Resumption.h"

#include <chrono>
#include <memory>
#include <vector>

namespace vellamor::test {

// A steady clock moved by hand. A sleep falls due when the clock reaches its
// end; it then resumes on the event loop's next turn, as a real timer's
// sleeper does, so a test can cancel in between.
class ManualTickerClock final : public OverlayTickerClock {
public:
    TimePoint now() const override { return TimePoint{} + elapsed_; }

    QCoro::Task<bool> sleep(std::chrono::milliseconds duration, std::stop_token token) override
    {
        const auto due = elapsed_ + duration;
        auto resumption = detail::Resumption::make();
        const auto reason = co_await resumption->suspend(std::move(token), [this, due](auto waker) {
            sleepers_.push_back({due, std::move(waker)});
        });
        co_return reason == detail::Resumption::Reason::Signalled;
    }

    // Moves the clock on and wakes the sleeps that have fallen due.
    void advance(std::chrono::microseconds by)
    {
        elapsed_ += by;
        std::vector<Sleeper> waiting;
        for (auto& sleeper : sleepers_) {
            if (sleeper.due <= elapsed_)
                sleeper.waker->fire(detail::Resumption::Reason::Signalled);
            else
                waiting.push_back(std::move(sleeper));
        }
        sleepers_ = std::move(waiting);
    }

private:
    struct Sleeper {
        std::chrono::microseconds due;
        std::shared_ptr<detail::Resumption> waker;
    };

    std::chrono::microseconds elapsed_{0};
    std::vector<Sleeper> sleepers_;
};

} // namespace vellamor::test
