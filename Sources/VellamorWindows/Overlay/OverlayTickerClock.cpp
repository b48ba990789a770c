#include "Overlay/OverlayTickerClock.h"

#include "Support/Async/Sleep.h"

namespace vellamor {

namespace {

class SystemTickerClock final : public OverlayTickerClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }

    QCoro::Task<bool> sleep(std::chrono::milliseconds duration, std::stop_token token) override
    {
        return sleepFor(duration, std::move(token));
    }
};

} // namespace

std::shared_ptr<OverlayTickerClock> OverlayTickerClock::system()
{
    return std::make_shared<SystemTickerClock>();
}

} // namespace vellamor
