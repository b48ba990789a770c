#pragma once

#include "Hotkey/HotkeyScheduler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace vellamor::test {

// A scheduler on a hand-moved clock: work runs only when the test advances
// time past its due moment, in due order (ties in scheduling order).
class ManualHotkeyScheduler final : public HotkeyScheduler {
public:
    void schedule(std::chrono::milliseconds delay, std::function<void()> work) override
    {
        pending_.emplace(std::make_pair(now_ + delay, nextSequence_++), std::move(work));
    }

    // Moves the clock forward to `time`, running the work that falls due.
    void advanceTo(std::chrono::milliseconds time)
    {
        while (!pending_.empty() && pending_.begin()->first.first <= time) {
            auto node = pending_.extract(pending_.begin());
            now_ = node.key().first;
            node.mapped()();
        }
        if (time > now_)
            now_ = time;
    }

    std::chrono::milliseconds now() const { return now_; }
    std::size_t pendingCount() const { return pending_.size(); }

private:
    std::chrono::milliseconds now_{0};
    std::uint64_t nextSequence_ = 0;
    std::map<std::pair<std::chrono::milliseconds, std::uint64_t>, std::function<void()>> pending_;
};

} // namespace vellamor::test
