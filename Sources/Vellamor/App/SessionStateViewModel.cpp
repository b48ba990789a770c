#include "App/SessionStateViewModel.h"

#include "Support/Async/Sleep.h"
#include "Support/Async/Spawn.h"

#include <QPointer>

namespace vellamor {

namespace {

// Rounded up: a limit of a few nanoseconds still waits for the next turn.
std::chrono::milliseconds sleepDuration(std::chrono::nanoseconds limit)
{
    return std::chrono::ceil<std::chrono::milliseconds>(limit);
}

} // namespace

SessionStateViewModel::SessionStateViewModel(std::chrono::nanoseconds softTimeout,
                                             std::chrono::nanoseconds hardTimeout, QObject* parent)
    : SessionStateViewModel(softTimeout, hardTimeout,
                            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm")), &sleepFor,
                            parent)
{
}

SessionStateViewModel::SessionStateViewModel(std::chrono::nanoseconds softTimeout,
                                             std::chrono::nanoseconds hardTimeout, VellamorLog log, SleepFunction sleep,
                                             QObject* parent)
    : QObject(parent)
    , softTimeout_(softTimeout)
    , hardTimeout_(hardTimeout)
    , log_(std::move(log))
    , sleep_(std::move(sleep))
{
}

SessionStateViewModel::~SessionStateViewModel()
{
    disarmTimeoutWatchdog();
}

void SessionStateViewModel::armTimeoutWatchdog()
{
    disarmTimeoutWatchdog();
    timeoutWarnTask_ = startLimit(QStringLiteral("session soft limit"), softTimeout_,
                                  &SessionStateViewModel::softLimitReached);
    timeoutForceTask_ = startLimit(QStringLiteral("session hard limit"), hardTimeout_,
                                   &SessionStateViewModel::hardLimitReached);
}

void SessionStateViewModel::armStopWatchdog(std::chrono::nanoseconds limit)
{
    disarmTimeoutWatchdog();
    timeoutForceTask_ = startLimit(QStringLiteral("session stop limit"), limit,
                                   &SessionStateViewModel::stopLimitReached);
}

TaskHandle SessionStateViewModel::startLimit(const QString& what, std::chrono::nanoseconds limit,
                                             void (SessionStateViewModel::*reached)())
{
    // The task holds the model weakly and re-checks both the model and its
    // cancellation after the sleep: a disarm may land between the timer
    // firing and the task's next turn.
    QPointer<SessionStateViewModel> weak(this);
    const auto wait = sleepDuration(limit);
    return spawn(this, what, [weak, wait, reached, sleep = sleep_](std::stop_token token) -> QCoro::Task<void> {
        co_await sleep(wait, token);
        if (token.stop_requested() || !weak)
            co_return;
        (weak.data()->*reached)();
    });
}

void SessionStateViewModel::disarmTimeoutWatchdog()
{
    if (timeoutWarnTask_) {
        timeoutWarnTask_->cancel();
        timeoutWarnTask_.reset();
    }
    if (timeoutForceTask_) {
        timeoutForceTask_->cancel();
        timeoutForceTask_.reset();
    }
}

void SessionStateViewModel::finishSession()
{
    disarmTimeoutWatchdog();
    isRecordingFromStatus = false;
    sessionBusy = false;
    hotkeyToggle = false;
    log_.info(QStringLiteral("session closed: busy cleared, hotkey toggle reset"));
}

void SessionStateViewModel::softLimitReached()
{
    if (auto callback = onSoftTimeout)
        callback();
}

void SessionStateViewModel::stopLimitReached()
{
    log_.warn(QStringLiteral("stopped session did not finish, giving up"));
    if (auto callback = onStopTimeout)
        callback();
}

void SessionStateViewModel::hardLimitReached()
{
    log_.warn(QStringLiteral("hard timeout reached, force stop"));
    if (isRecordingFromStatus.value())
        isRecordingFromStatus = false;
    if (auto callback = onHardTimeout)
        callback();
}

} // namespace vellamor
