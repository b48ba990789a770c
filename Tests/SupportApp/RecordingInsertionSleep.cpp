#include "RecordingInsertionSleep.h"

#include <numeric>

namespace vellamor::test {

RecordingInsertionSleep::RecordingInsertionSleep(std::shared_ptr<FakeInsertionClock> clock)
    : clock_(std::move(clock))
    , waits_(std::make_shared<std::vector<std::chrono::milliseconds>>())
{
}

InsertionSleep RecordingInsertionSleep::sleep()
{
    return [clock = clock_, waits = waits_](std::chrono::milliseconds duration) -> QCoro::Task<void> {
        waits->push_back(duration);
        clock->now += duration;
        co_return;
    };
}

InsertionClock RecordingInsertionSleep::steadyClock() const
{
    return [clock = clock_] { return std::chrono::steady_clock::time_point(clock->now); };
}

std::chrono::milliseconds RecordingInsertionSleep::total() const
{
    return std::accumulate(waits_->begin(), waits_->end(), std::chrono::milliseconds(0));
}

} // namespace vellamor::test
