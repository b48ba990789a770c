#include "ManualHotkeyScheduler.h"

namespace vellamor::test {

void ManualHotkeyScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> work)
{
    pending_.emplace(std::make_pair(now_ + delay, nextSequence_++), std::move(work));
}

void ManualHotkeyScheduler::advanceTo(std::chrono::milliseconds time)
{
    while (!pending_.empty() && pending_.begin()->first.first <= time) {
        auto node = pending_.extract(pending_.begin());
        now_ = node.key().first;
        node.mapped()();
    }
    if (time > now_)
        now_ = time;
}

} // namespace vellamor::test
