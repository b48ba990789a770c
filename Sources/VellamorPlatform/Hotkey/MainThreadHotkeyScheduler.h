#pragma once

#include "Hotkey/HotkeyScheduler.h"

#include <QObject>

namespace vellamor {

// Schedules on the main thread's event loop with precise timers; pending work
// is dropped when the scheduler is destroyed.
class MainThreadHotkeyScheduler final : public HotkeyScheduler {
public:
    void schedule(std::chrono::milliseconds delay, std::function<void()> work) override;

private:
    QObject context_;
};

} // namespace vellamor
