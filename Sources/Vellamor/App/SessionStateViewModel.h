#pragma once

#include "Logging/VellamorLog.h"
#include "Menu/MenuBarIconState.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

namespace vellamor {

// The one record of the dictation session: whether one is running, how it
// was started and how far its start has come, the hotkey's toggle, and what
// the status item shows. The hotkey, the dictation road and the tray all
// read and write it here. Also the watchdog that bounds a session's length:
// after the soft limit the owner is told to warn, after the hard limit to
// stop the session as a hotkey release would. Both limits count from arming.
// Main thread only.
class SessionStateViewModel : public QObject {
    Q_OBJECT

public:
    // How far the running session's start has come.
    enum class StartStage {
        // The access token is awaited.
        awaitingSignIn,
        // The token is awaited and the hotkey was let go meanwhile: the
        // session stops as soon as the dictation controller has it.
        stopOnceStarted,
        // The dictation controller has the session.
        withController,
    };

    // Logs to "com.vellamor.app"/"session-vm"; the limits run on timers.
    SessionStateViewModel(std::chrono::nanoseconds softTimeout, std::chrono::nanoseconds hardTimeout,
                          QObject* parent = nullptr);
    SessionStateViewModel(std::chrono::nanoseconds softTimeout, std::chrono::nanoseconds hardTimeout, VellamorLog log,
                          SleepFunction sleep, QObject* parent = nullptr);
    ~SessionStateViewModel() override;

    // Dictation by hotkey and from the menu is switched on.
    Published<bool> enabled{true};
    // A session is running; another is refused meanwhile.
    Published<bool> sessionBusy{false};
    // The running session was started from the menu's record item.
    Published<bool> isRecordingFromStatus{false};
    // In toggle mode, the last tap turned recording on. The hotkey's state
    // machine flips it at each tap, before the tap's event is handled; a
    // session that closes, is refused or is cancelled turns it off, and one
    // opened without a tap turns it on, so the next tap stops it.
    Published<bool> hotkeyToggle{false};
    // Meaningful while the session's start task exists.
    Published<StartStage> startStage{StartStage::withController};
    // The custom hotkey in force; none while the held key is the hotkey.
    Published<std::optional<QString>> activeCustomHotkey{std::nullopt};
    // What the status item shows: the tray binder draws every value.
    Published<MenuBarIconState> icon{MenuBarIconState::idle};

    // Run on the main thread when a limit passes, if set at that moment.
    std::function<void()> onSoftTimeout;
    std::function<void()> onHardTimeout;
    std::function<void()> onStopTimeout;

    // Disarms, then starts the two limits afresh.
    void armTimeoutWatchdog();
    // Disarms, then starts the one limit of a stopped session: after `limit`
    // the owner is told to give the session up.
    void armStopWatchdog(std::chrono::nanoseconds limit);
    // Cancels both limits; a limit whose time has come but whose step has not
    // yet run does nothing. Leaves sessionBusy as it is.
    void disarmTimeoutWatchdog();
    bool isWatchdogArmed() const { return timeoutWarnTask_.has_value() || timeoutForceTask_.has_value(); }

    // Closes the session: disarms, clears sessionBusy and isRecordingFromStatus,
    // turns the hotkey's toggle off and logs it. Also when idle.
    void finishSession();

private:
    // Runs `reached` once `limit` has passed, unless disarmed first.
    TaskHandle startLimit(const QString& what, std::chrono::nanoseconds limit,
                          void (SessionStateViewModel::*reached)());
    void softLimitReached();
    void hardLimitReached();
    void stopLimitReached();

    std::chrono::nanoseconds softTimeout_;
    std::chrono::nanoseconds hardTimeout_;
    VellamorLog log_;
    SleepFunction sleep_;
    std::optional<TaskHandle> timeoutWarnTask_;
    std::optional<TaskHandle> timeoutForceTask_;
};

} // namespace vellamor
