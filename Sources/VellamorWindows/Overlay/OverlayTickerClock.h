#pragma once

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>
#include <stop_token>

namespace vellamor {

// Time and waits of the overlay's clocks. The clocks are measured from start
// times on a steady clock, so a late wake-up never adds up and a change of
// the system time never shows. Tests move both by hand.
class OverlayTickerClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~OverlayTickerClock() = default;

    virtual TimePoint now() const = 0;
    // False when `token` cut the wait short.
    virtual QCoro::Task<bool> sleep(std::chrono::milliseconds duration, std::stop_token token) = 0;

    // The steady clock and the event loop's timers.
    static std::shared_ptr<OverlayTickerClock> system();
};

} // namespace vellamor
