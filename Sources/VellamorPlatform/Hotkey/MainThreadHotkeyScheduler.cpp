#include "Hotkey/MainThreadHotkeyScheduler.h"

#include <QTimer>

namespace vellamor {

void MainThreadHotkeyScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> work)
{
    QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(work));
}

} // namespace vellamor
