#include "App/DictationRoad.h"

#include "Context/AutoSceneResolver.h"
#include "Support/Async/Spawn.h"

#include <utility>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr auto unauthenticatedHintDuration = 2000ms;
constexpr auto failedHideDelay = 6000ms;
constexpr auto cancelledHideDelay = 900ms;

using StartStage = SessionStateViewModel::StartStage;

void cancelAndDrop(std::optional<TaskHandle>& task)
{
    if (task)
        task->cancel();
    task.reset();
}

} // namespace

DictationRoad::DictationRoad(Parts parts, Hooks hooks, VellamorLog log, QObject* parent)
    : QObject(parent)
    , p_(std::move(parts))
    , hooks_(std::move(hooks))
    , log_(std::move(log))
    , steps_(this, QStringLiteral("queued dictation step"))
{
    QPointer<DictationRoad> weak(this);
    OverlayViewModel& viewModel = p_.overlay.viewModel();
    viewModel.onCancel = [weak] {
        if (weak)
            weak->cancelFromOverlay();
    };
    viewModel.onRetry = [weak] {
        if (weak)
            weak->retryFromOverlay();
    };
    p_.overlay.onInsertText = [weak](const QString& text) {
        if (text.isEmpty() || !weak)
            return;
        spawn(weak.data(), QStringLiteral("pinned text insertion"),
              [inserter = weak->p_.inserter, text](std::stop_token) -> QCoro::Task<void> {
                  co_await inserter.insertLayered(text);
              });
    };
    QPointer<OverlayViewModel> weakViewModel(&viewModel);
    p_.session.onSoftTimeout = [weakViewModel] {
        if (weakViewModel)
            weakViewModel->warning = softTimeoutWarning();
    };
    p_.session.onHardTimeout = [weak] {
        if (weak)
            weak->end();
    };
    p_.session.onStopTimeout = [weak] {
        if (weak)
            weak->giveUpStalledSession();
    };
    p_.hotkey.setPressObserver([weak](HotkeyStateMachine::PressPhase phase) {
        if (weak)
            weak->handlePressPhase(phase);
    });
}

DictationRoad::~DictationRoad()
{
    steps_.cancel();
}

void DictationRoad::enqueueHotkey(const HotkeyEvent& event)
{
    QPointer<DictationRoad> weak(this);
    steps_.enqueue([weak, event]() -> QCoro::Task<void> {
        if (weak)
            co_await weak->handleHotkey(event);
    });
}

void DictationRoad::enqueueBegin(BeginOrigin origin)
{
    QPointer<DictationRoad> weak(this);
    steps_.enqueue([weak, origin]() -> QCoro::Task<void> {
        if (weak)
            co_await weak->begin(origin);
    });
}

void DictationRoad::setEnabled(bool enabled)
{
    p_.session.enabled = enabled;
    log_.info(QStringLiteral("hotkey enabled=") + (enabled ? QStringLiteral("true") : QStringLiteral("false")));
}

void DictationRoad::standDown()
{
    p_.session.isRecordingFromStatus = false;
    p_.session.hotkeyToggle = false;
}

void DictationRoad::stop()
{
    cancelStartTask();
    steps_.cancel();
    stopAudioRMSPump();
    closeASRConnection();
}

void DictationRoad::toggleFromStatus()
{
    if (!p_.session.enabled.value())
        return;
    if (p_.session.isRecordingFromStatus.value()) {
        p_.session.isRecordingFromStatus = false;
        end();
        return;
    }
    if (p_.session.sessionBusy.value()) {
        log_.info(QStringLiteral("status toggle on ignored: busy"));
        return;
    }
    p_.session.isRecordingFromStatus = true;
    enqueueBegin(BeginOrigin::statusItem);
}

QCoro::Task<void> DictationRoad::handleHotkey(HotkeyEvent event)
{
    if (!p_.session.enabled.value())
        co_return;
    switch (event.kind()) {
    case HotkeyEvent::Kind::pressed:
        if (p_.session.sessionBusy.value()) {
            log_.info(QStringLiteral("hotkey pressed ignored: busy"));
            co_return;
        }
        co_await begin(BeginOrigin::hotkey);
        co_return;
    case HotkeyEvent::Kind::released:
        end();
        co_return;
    case HotkeyEvent::Kind::toggled:
        if (!event.isOn()) {
            end();
            co_return;
        }
        if (p_.session.sessionBusy.value()) {
            log_.info(QStringLiteral("hotkey toggled on ignored: busy"));
            p_.session.hotkeyToggle = false;
            co_return;
        }
        co_await begin(BeginOrigin::hotkey);
        co_return;
    }
}

void DictationRoad::handlePressPhase(HotkeyStateMachine::PressPhase phase)
{
    // A running session owns the capture.
    if (p_.session.sessionBusy.value())
        return;
    if (phase == HotkeyStateMachine::PressPhase::abandoned)
        p_.earlyAudio->discard();
    else if (p_.session.enabled.value() && p_.auth->publisher()->state().isAuthenticated())
        p_.earlyAudio->open();
}

QCoro::Task<void> DictationRoad::begin(BeginOrigin origin)
{
    QPointer<DictationRoad> self(this);
    const bool microphoneGranted = co_await p_.microphone.admit();
    if (!self)
        co_return;
    if (!microphoneGranted) {
        p_.earlyAudio->discard();
        co_return;
    }
    if (!p_.auth->publisher()->state().isAuthenticated()) {
        log_.info(QStringLiteral("beginDictation blocked: unauthenticated"));
        p_.earlyAudio->discard();
        showUnauthenticatedHint();
        co_return;
    }
    if (p_.session.sessionBusy.value()) {
        log_.info(QStringLiteral("beginDictation ignored: busy"));
        co_return;
    }

    p_.session.sessionBusy = true;
    p_.session.armTimeoutWatchdog();
    log_.info(QStringLiteral("beginDictation: session opened"));
    // Gathers while the sign-in and the recogniser are awaited.
    p_.earlyAudio->open();
    // The island must not show the last session until the new one reports.
    OverlayViewModel& viewModel = p_.overlay.viewModel();
    p_.overlay.materializePinnedDoneIfNeeded();
    viewModel.state = DictationState::idle();
    viewModel.partialText = QString();
    viewModel.finalText = QString();
    viewModel.polishedText = QString();
    p_.overlay.show();
    startAudioRMSPump();
    p_.session.icon = MenuBarIconState::recording;
    // Without a press the toggle is off, and the next tap would be refused.
    if (origin != BeginOrigin::hotkey && p_.hotkeyFollower.mode() == HotkeyMode::toggle)
        p_.session.hotkeyToggle = true;
    startSession();
}

void DictationRoad::startSession()
{
    OverlayViewModel& viewModel = p_.overlay.viewModel();
    const Preferences prefs = p_.settings->current();
    const std::optional<QString> bundleID = p_.frontmost->current().bundleIdentifier;
    const QString scene = resolveScene(prefs, bundleID);
    viewModel.scene = scene;
    viewModel.hotkeyMode = prefs.hotkeyMode;
    const QUrl endpoint = p_.sessionEndpoint;
    std::optional<QString> llmProvider;
    if (prefs.enableLLMPolish && prefs.selectedLLMProviderName) {
        const QString trimmed = prefs.selectedLLMProviderName->trimmed();
        if (!trimmed.isEmpty())
            llmProvider = trimmed;
    }

    cancelStartTask();
    p_.session.startStage = StartStage::awaitingSignIn;
    QPointer<DictationRoad> self(this);
    dictationStartTask_ = spawn(
        this, QStringLiteral("dictation start"),
        [self, prefs, scene, bundleID, endpoint, llmProvider](std::stop_token token) -> QCoro::Task<void> {
            const std::shared_ptr<AuthSession> auth = self->p_.auth;
            const std::optional<QString> accessToken = co_await auth->currentAccessToken();
            if (token.stop_requested() || !self)
                co_return;
            ASRSessionConfig config(endpoint, prefs.language, scene, prefs.style, prefs.enableLLMPolish, llmProvider,
                                    accessToken);
            DictationController& dictation = self->p_.dictation;
            dictation.setInsertRawOnly(prefs.insertRawOnly);
            dictation.setSourceApp(bundleID);
            // Read as the controller takes the session: from then on a
            // release stops it directly.
            Published<StartStage>& stage = self->p_.session.startStage;
            const bool stopOnceStarted = stage.value() == StartStage::stopOnceStarted;
            stage = StartStage::withController;
            co_await dictation.start(std::move(config));
            if (self && stopOnceStarted)
                co_await self->p_.dictation.stop();
        });
}

void DictationRoad::showHint(const QString& reason, std::chrono::milliseconds visibleFor)
{
    // A pinned result would be lost with the reset.
    p_.overlay.materializePinnedDoneIfNeeded();
    p_.overlay.viewModel().reset();
    p_.overlay.viewModel().state = DictationState::failed(reason);
    p_.overlay.show();
    p_.session.icon = MenuBarIconState::error;
    p_.overlay.hideAfter(visibleFor);
}

void DictationRoad::showUnauthenticatedHint()
{
    showHint(unauthenticatedHint(), unauthenticatedHintDuration);
    p_.session.hotkeyToggle = false;
}

void DictationRoad::clearSignedOutHint()
{
    // The island shows it no longer; the status item still would.
    const DictationState& shown = p_.overlay.viewModel().state.value();
    if (shown.kind() != DictationState::Kind::failed || shown.reason() != unauthenticatedHint())
        return;
    p_.overlay.viewModel().state = DictationState::idle();
    p_.session.icon = MenuBarIconState::idle;
    p_.menuStatus.refresh();
}

void DictationRoad::startAudioRMSPump()
{
    stopAudioRMSPump();
    Channel<float> levels = p_.audio->rmsStream();
    QPointer<DictationRoad> weak(this);
    audioRMSPumpTask_
        = spawn(this, QStringLiteral("level pump"), [weak, levels](std::stop_token token) -> QCoro::Task<void> {
              for (;;) {
                  const std::optional<float> level = co_await levels.next(token);
                  if (!level || !weak)
                      co_return;
                  weak->p_.overlay.viewModel().rms = *level;
              }
          });
}

void DictationRoad::stopAudioRMSPump()
{
    cancelAndDrop(audioRMSPumpTask_);
}

QString DictationRoad::resolveScene(const Preferences& prefs, const std::optional<QString>& bundleID)
{
    if (prefs.sceneAutoDetect) {
        if (const std::optional<QString> scene = AutoSceneResolver::resolve(bundleID)) {
            log_.info(QStringLiteral("auto scene matched bundle=") + bundleID.value_or(QStringLiteral("nil"))
                      + QStringLiteral(" → ") + *scene);
            return *scene;
        }
    }
    return prefs.scene;
}

void DictationRoad::cancelStartTask()
{
    cancelAndDrop(dictationStartTask_);
}

void DictationRoad::end()
{
    // A release after a refused press has no session to end.
    if (!p_.session.sessionBusy.value()) {
        log_.info(QStringLiteral("endDictation ignored: no session"));
        return;
    }
    p_.session.icon = MenuBarIconState::processing;
    p_.session.disarmTimeoutWatchdog();
    p_.session.armStopWatchdog(p_.afterStop);
    if (dictationStartTask_ && p_.session.startStage.value() != StartStage::withController) {
        // Still waiting for the sign-in: what was said so far is kept and
        // recognised once the session has started.
        log_.info(QStringLiteral("dictation stop deferred until the session has started"));
        p_.earlyAudio->seal();
        p_.session.startStage = StartStage::stopOnceStarted;
        return;
    }
    cancelStartTask();
    QPointer<DictationRoad> weak(this);
    spawn(this, QStringLiteral("dictation stop"), [weak](std::stop_token) -> QCoro::Task<void> {
        if (weak)
            co_await weak->p_.dictation.stop();
    });
}

void DictationRoad::giveUpStalledSession()
{
    if (!p_.session.sessionBusy.value())
        return;
    // Its own late end must not close the session a second time.
    snapshotFilter_.abandonActive();
    cancelStartTask();
    p_.overlay.viewModel().state = DictationState::failed(stalledSessionReason());
    p_.session.icon = MenuBarIconState::error;
    closeTerminalSession(failedHideDelay);
    QPointer<DictationRoad> weak(this);
    spawn(this, QStringLiteral("stalled session cancel"), [weak](std::stop_token) -> QCoro::Task<void> {
        if (weak)
            co_await weak->p_.dictation.cancel();
    });
}

void DictationRoad::closeTerminalSession(std::chrono::milliseconds hideDelay)
{
    stopAudioRMSPump();
    p_.overlay.viewModel().stopTicking();
    p_.overlay.hideAfter(hideDelay);
    closeASRConnection();
    p_.session.finishSession();
    p_.menuStatus.refresh();
}

void DictationRoad::closeASRConnection()
{
    const std::shared_ptr<WebSocketTransport> ws = p_.ws;
    spawn(this, QStringLiteral("recogniser socket close"),
              [ws](std::stop_token) -> QCoro::Task<void> { co_await ws->close(); });
}

void DictationRoad::applySnapshot(const SessionSnapshot& snapshot)
{
    switch (snapshotFilter_.admit(snapshot)) {
    case SnapshotFilter::Verdict::apply:
        break;
    case SnapshotFilter::Verdict::staleAfterRetry:
        log_.info(QStringLiteral("ignored stale terminal snapshot from retried session"));
        return;
    case SnapshotFilter::Verdict::staleFromPrevious:
        log_.info(QStringLiteral("ignored stale terminal snapshot from previous session"));
        return;
    }
    OverlayViewModel& viewModel = p_.overlay.viewModel();
    viewModel.state = snapshot.state;
    viewModel.partialText = snapshot.partialText;
    viewModel.finalText = snapshot.finalText;
    viewModel.polishedText = snapshot.polishedText;
    switch (snapshot.state.kind()) {
    case DictationState::Kind::recording:
        p_.session.icon = MenuBarIconState::recording;
        p_.menuStatus.refresh();
        return;
    case DictationState::Kind::transcribing:
    case DictationState::Kind::polishing:
    case DictationState::Kind::inserting:
        p_.session.icon = MenuBarIconState::processing;
        p_.menuStatus.refresh();
        return;
    case DictationState::Kind::done:
        dictationStartTask_.reset();
        p_.session.icon = MenuBarIconState::idle;
        hooks_.succeeded();
        closeTerminalSession(doneHideDelay);
        return;
    case DictationState::Kind::failed:
        dictationStartTask_.reset();
        p_.session.icon = MenuBarIconState::error;
        closeTerminalSession(failedHideDelay);
        return;
    case DictationState::Kind::cancelled:
        p_.session.icon = MenuBarIconState::idle;
        cancelStartTask();
        closeTerminalSession(cancelledHideDelay);
        return;
    case DictationState::Kind::idle:
        p_.session.icon = MenuBarIconState::idle;
        stopAudioRMSPump();
        viewModel.stopTicking();
        p_.menuStatus.refresh();
        return;
    }
}

void DictationRoad::cancelFromOverlay()
{
    log_.info(QStringLiteral("dictation cancel requested from overlay"));
    cancelStartTask();
    p_.session.disarmTimeoutWatchdog();
    p_.session.isRecordingFromStatus = false;
    p_.session.hotkeyToggle = false;
    p_.session.icon = MenuBarIconState::idle;
    stopAudioRMSPump();
    QPointer<DictationRoad> weak(this);
    const std::shared_ptr<WebSocketTransport> ws = p_.ws;
    spawn(this, QStringLiteral("dictation cancel"), [weak, ws](std::stop_token) -> QCoro::Task<void> {
        if (!weak)
            co_return;
        co_await weak->p_.dictation.cancel();
        co_await ws->close();
    });
}

void DictationRoad::retryFromOverlay()
{
    log_.info(QStringLiteral("dictation retry requested from overlay"));
    snapshotFilter_.abandonActive();
    p_.overlay.cancelHideTask();
    p_.overlay.viewModel().reset();
    stopAudioRMSPump();
    cancelStartTask();
    p_.session.finishSession();
    enqueueBegin(BeginOrigin::retry);
}

} // namespace vellamor
