#include "RecordingInsertionSleep.h"

#include <numeric>

namespace vellamor::test {

InsertionClock readingOf(std::shared_ptr<FakeInsertionClock> clock)
{
    return [clock = std::move(clock)] { return clock->now; };
}

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

std::chrono::milliseconds RecordingInsertionSleep::total() const
{
    return std::accumulate(waits_->begin(), waits_->end(), std::chrono::milliseconds(0));
}

} // namespace vellamor::test
