#include "TextInsertion/InsertionSleep.h"

#include "Support/Async/Sleep.h"

namespace vellamor {

InsertionSleep eventLoopSleep()
{
    return [](std::chrono::milliseconds duration) -> QCoro::Task<void> { co_await sleepFor(duration); };
}

} // namespace vellamor
