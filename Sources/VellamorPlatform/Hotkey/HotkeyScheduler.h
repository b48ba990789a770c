#pragma once

#include <chrono>
#include <functional>

namespace vellamor {

// Runs work on the main thread after a delay: the hotkey's long-press check.
// Tests inject a manual clock.
class HotkeyScheduler {
public:
    virtual ~HotkeyScheduler() = default;
    virtual void schedule(std::chrono::milliseconds delay, std::function<void()> work) = 0;
};

} // namespace vellamor
