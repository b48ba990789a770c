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

SessionStateViewModel::SessionStateViewModel(ToggleResetter hotkeyToggleResetter,
                                             std::chrono::nanoseconds softTimeout,
                                             std::chrono::nanoseconds hardTimeout, QObject* parent)
    : SessionStateViewModel(std::move(hotkeyToggleResetter), softTimeout, hardTimeout,
                            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm")), parent)
{
}

SessionStateViewModel::SessionStateViewModel(ToggleResetter hotkeyToggleResetter,
                                             std::chrono::nanoseconds softTimeout,
                                             std::chrono::nanoseconds hardTimeout, VellamorLog log, QObject* parent)
    : QObject(parent)
    , hotkeyToggleResetter_(std::move(hotkeyToggleResetter))
    , softTimeout_(softTimeout)
    , hardTimeout_(hardTimeout)
    , log_(std::move(log))
{
}

SessionStateViewModel::~SessionStateViewModel()
{
    disarmTimeoutWatchdog();
}

void SessionStateViewModel::armTimeoutWatchdog()
{
    disarmTimeoutWatchdog();
    // The tasks hold the model weakly and re-check both the model and their
    // cancellation after the sleep: a disarm may land between the timer
    // firing and the task's next turn.
    QPointer<SessionStateViewModel> weak(this);
    const auto soft = sleepDuration(softTimeout_);
    const auto hard = sleepDuration(hardTimeout_);
    timeoutWarnTask_ = spawn(this, log_, QStringLiteral("session soft limit"),
                             [weak, soft](std::stop_token token) -> QCoro::Task<void> {
                                 co_await sleepFor(soft, token);
                                 if (token.stop_requested() || !weak)
                                     co_return;
                                 weak->softLimitReached();
                             });
    timeoutForceTask_ = spawn(this, log_, QStringLiteral("session hard limit"),
                              [weak, hard](std::stop_token token) -> QCoro::Task<void> {
                                  co_await sleepFor(hard, token);
                                  if (token.stop_requested() || !weak)
                                      co_return;
                                  weak->hardLimitReached();
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
    if (hotkeyToggleResetter_)
        hotkeyToggleResetter_(false);
    log_.info(QStringLiteral("session closed: busy cleared, hotkey toggle reset"));
}

void SessionStateViewModel::softLimitReached()
{
    if (auto callback = onSoftTimeout)
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
