#include "TextInsertion/InsertionSleep.h"

#include "Support/Async/Sleep.h"

#include <algorithm>

namespace vellamor {

InsertionSleep eventLoopSleep()
{
    // Timers fire up to a millisecond late, which made keys paced every 2 ms
    // come every 2.7 ms. In a run of equal waits the time one ran over is
    // taken off the next (at most half of it); any other wait, a settle time,
    // is waited in full.
    struct Run {
        std::chrono::milliseconds duration{0};
        std::chrono::nanoseconds behind{0};
    };
    auto run = std::make_shared<Run>();
    return [run](std::chrono::milliseconds duration) -> QCoro::Task<void> {
        using namespace std::chrono;
        if (duration != run->duration)
            *run = {duration, 0ns};
        const auto cut = floor<milliseconds>(std::min<nanoseconds>(run->behind, duration / 2));
        const auto start = steady_clock::now();
        co_await sleepFor(duration - cut);
        const nanoseconds late = steady_clock::now() - start - duration;
        run->behind = std::clamp<nanoseconds>(run->behind + late, 0ns, duration);
    };
}

} // namespace vellamor
