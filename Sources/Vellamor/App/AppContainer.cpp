#include "App/AppContainer.h"

#include "App/ApplicationVersion.h"
#include "Auth/AuthSheet.h"
#include "Context/ActiveWindowFrontmostAppProbe.h"
#include "Context/AutoSceneResolver.h"
#include "Context/DesktopEntryIndex.h"
#include "DataSync/DataSyncAPI.h"
#include "Dictation/MockASRProvider.h"
#include "I18n/LocaleResolver.h"
#include "InputSources/PairingConfirmController.h"
#include "InputSources/SourceCommandSession.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthedSession.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"
#include "Overlay/QtScreenLayout.h"
#include "SettingsWindow/LaunchAtLogin.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/Spawn.h"
#include "Support/UrlPath.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QApplication>
#include <QThreadPool>

#include <algorithm>
#include <utility>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr qint64 maxDurationMs = 360000;
constexpr auto unauthenticatedHintDuration = 2000ms;
constexpr auto microphoneHintDuration = 2200ms;
constexpr auto doneHideDelay = 1500ms;
constexpr auto failedHideDelay = 6000ms;
constexpr auto cancelledHideDelay = 900ms;
constexpr auto stopFadeDuration = 300ms;

void cancelAndDrop(std::optional<TaskHandle>& task)
{
    if (task)
        task->cancel();
    task.reset();
}

} // namespace

AppContainer::AppContainer(AppConfig config, AppContainerDependencies dependencies, QObject* parent)
    : AppContainer(std::move(config), std::move(dependencies),
                   VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("container")), parent)
{
}

AppContainer::AppContainer(AppConfig config, AppContainerDependencies dependencies, VellamorLog log, QObject* parent)
    : QObject(parent)
    , log_(std::move(log))
    , config_(std::move(config))
    , limits_(dependencies.limits)
    , auth_(std::move(dependencies.auth))
    , defaults_(std::move(dependencies.defaults))
    , soundServer_(dependencies.platform.soundServer)
    , environment_(dependencies.environment)
    , sleep_(dependencies.sleep ? std::move(dependencies.sleep) : &sleepFor)
    , locale_(dependencies.locale)
    , windowServices_(dependencies.windowServices.withDefaults(config_, auth_))
    , theme_(defaults_, dependencies.platform.colorScheme)
{
    platform::PlatformAdapters& adapters = dependencies.platform;
    QPointer<AppContainer> weak(this);

    settingsStore_ = std::make_shared<SettingsStore>(defaults_, SettingsStore::standardKey());
    const Preferences prefs = settingsStore_->current();
    locale_->setLanguage(prefs.language);

    permissionChecker_ = std::make_shared<PermissionChecker>(PermissionChecker::Facilities{
        adapters.inputMonitoring, adapters.soundServer, adapters.accessibilityStatus, adapters.commandLauncher});
    auto terminate = dependencies.terminate ? dependencies.terminate : [] { QCoreApplication::quit(); };
    menuBar_ = std::make_unique<MenuBarController>(
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("menubar")), std::move(terminate));
    if (dependencies.hotkeyScheduler) {
        hotkey_ = std::make_unique<HotkeyMonitor>(
            std::move(adapters.keySource), std::move(dependencies.hotkeyScheduler),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey")));
    } else {
        hotkey_ = std::make_unique<HotkeyMonitor>(std::move(adapters.keySource));
    }
    overlay_ = std::make_unique<RecordingOverlayController>(
        adapters.pasteboard, dependencies.screens ? dependencies.screens : std::make_shared<QtScreenLayout>(),
        dependencies.overlayClock ? dependencies.overlayClock : OverlayTickerClock::system());
    HotkeyMonitor* monitor = hotkey_.get();
    textInserter_ = SystemLayeredInserter::make(
        adapters.accessibilityBus, adapters.keyInjector, adapters.pasteboard,
        SystemLayeredInserter::accessibilityTrust(permissionChecker_),
        [monitor](bool ignoring) { monitor->setIgnoringSyntheticInput(ignoring); }, defaults_);
    audio_ = std::make_shared<AudioCapture>(adapters.soundServer);
    ws_ = dependencies.asrTransport ? dependencies.asrTransport : std::make_shared<WebSocketSession>();
    mockRecogniser_ = MockASRProvider::isSelected(dependencies.environment);
    std::shared_ptr<ASRProvider> asr;
    if (mockRecogniser_)
        asr = MockASRProvider::makeForApplication();
    else
        asr = std::make_shared<CloudASRProvider>(ws_);
    auto output = std::make_shared<LayeredInserterOutput>(*textInserter_);
    // The finished island says whether the text went in or only onto the
    // clipboard, unless a newer dictation has taken the island meanwhile.
    output->onDeliveryStarted = [weak]() -> LayeredInserterOutput::Delivered {
        if (!weak)
            return {};
        return [weak, session = weak->snapshotFilter_.activeSession()](InsertStrategy strategy) {
            if (!weak || weak->snapshotFilter_.activeSession() != session)
                return;
            weak->overlay_->viewModel().leftOnClipboard
                = strategy == InsertStrategy::noTarget || strategy == InsertStrategy::allFailed;
        };
    };
    historyBroadcaster_ = std::make_shared<HistoryChangeBroadcaster>();
    const std::shared_ptr<LocalHistoryStore> anonymousStore =
        LocalHistoryStore::anonymous(historyBroadcaster_, dependencies.historyBaseDirectory);
    std::shared_ptr<DataSyncAPIProtocol> dataSync = dependencies.dataSync;
    if (!dataSync)
        dataSync = std::make_shared<DataSyncAPI>(config_.apiBaseURL, AuthedSession::shared(), auth_->accessTokens(),
                                                 auth_, std::nullopt);
    // One engine for the application's life; it runs only while signed in.
    historySyncEngine_ = std::make_unique<HistorySyncEngine>(std::move(dataSync), anonymousStore,
                                                             std::make_shared<HistorySyncObserver>());
    sourceCommands_ = dependencies.sourceCommands;
    if (!sourceCommands_)
        sourceCommands_ = std::make_shared<SourceCommandSession>(config_.wsBaseURL, auth_->accessTokens());
    account_ = std::make_unique<AccountSwitcher>(
        AccountSwitcher::Collaborators{anonymousStore, historyBroadcaster_, dependencies.historyBaseDirectory,
                                       historySyncEngine_.get(), sourceCommands_, windowServices_.serverPreferences},
        AccountSwitcher::Hooks{
            .signedIn = [this] { clearSignedOutHint(); },
            .signedOut = [this] { phoneCommands_->clearConnected(); },
            .storeChanged =
                [this](const std::shared_ptr<LocalHistoryStore>& store) {
                    historyWindow_->configure(store, historyBroadcaster_, historySyncEngine_.get());
                    dictation_->setHistoryStore(store);
                },
        },
        log_);
    earlyAudio_ = std::make_shared<EarlyAudioCapture>(audio_);
    dictation_ = std::make_unique<DictationController>(earlyAudio_, std::move(asr), std::move(output), maxDurationMs,
                                                       anonymousStore);
    signInSheet_ = std::make_unique<AuthSheetPresenter>(windowServices_.authAPI(), auth_, sleep_);
    settingsWindow_ = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies{
        settingsStore_, theme_, *locale_, windowServices_, defaults_, sleep_,
        DiagnosticsServices{permissionChecker_, adapters.pasteboard, adapters.workspace, VellamorLog::fileURL(),
                            ApplicationVersion::current()},
        settingsPageHooks(),
        AccountServices{auth_, signInSheet_.get(), defaults_, [this](QObject* receiver, std::function<void()> slot) {
                            connect(this, &AppContainer::inputSourceListChanged, receiver, std::move(slot));
                        }}});
    pairingConfirm_ = std::make_unique<PairingConfirmController>(windowServices_.inputSources, sleep_);
    phoneCommands_ = std::make_unique<PhoneCommandRouter>(
        sourceCommands_, *textInserter_, sleep_, log_,
        PhoneCommandRouter::Hooks{
            .currentStore = [this] { return account_->store(); },
            .confirmPairing = [this](const PairingRequestPayload& payload) { pairingConfirm_->enqueue(payload); },
            .showConnected = [this](bool on) { tray_->setConnectedBadge(on); },
        });
    connect(phoneCommands_.get(), &PhoneCommandRouter::listChanged, this, &AppContainer::inputSourceListChanged);
    historyWindow_ = std::make_unique<HistoryWindowController>(HistoryWindowController::Services{
        .layered = *textInserter_,
        .isAccessibilityTrusted = SystemLayeredInserter::accessibilityTrust(permissionChecker_),
        .auth = auth_->publisher(),
        .globalInput = adapters.globalInput,
        .sleep = sleep_,
    });
    dictionaryWindow_ = std::make_unique<DictionaryWindowController>(DictionaryWindowController::Dependencies{
        windowServices_, auth_->publisher(), sleep_,
        [this](QWidget* parent, std::function<void()> closed) { presentSignIn(parent, std::move(closed)); }});
    historyWindow_->presentSignIn = [this](std::function<void()> dismissed) {
        presentSignIn(nullptr, std::move(dismissed));
    };
    desktopEntries_ = std::make_shared<DesktopEntryIndex>();
    frontmostProbe_ = std::make_shared<ActiveWindowFrontmostAppProbe>(adapters.activeWindowReader, desktopEntries_);
    // The monitor outlives the model: it is declared first.
    session_ = std::make_unique<SessionStateViewModel>(
        [monitor](bool on) { monitor->setToggleState(on); }, limits_.soft, limits_.hard,
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm")), sleep_);
    menuStatus_ = std::make_unique<MenuStatusViewModel>(overlay_->viewModel(), settingsStore_, auth_->publisher());
    hotkeyFollower_ = std::make_unique<HotkeyFollower>(
        *hotkey_, settingsStore_, *session_, log_,
        HotkeyFollower::Hooks{
            .event =
                [weak](const HotkeyEvent& event) {
                    postTo(weak.data(), [weak, event] {
                        if (weak)
                            weak->enqueue([event](AppContainer& container) { return container.handleHotkey(event); });
                    });
                },
            .failed = [this] { menuBar_->updateIcon(MenuBarIconState::error); },
        });
    microphoneGate_ = std::make_unique<MicrophoneGate>(
        permissionChecker_, log_,
        MicrophoneGate::Hooks{
            .standDown =
                [this] {
                    session_->isRecordingFromStatus = false;
                    setToggleState(false);
                },
            .showHint = [this] { showHint(MicrophoneGate::hint(), microphoneHintDuration); },
            .grantedLater = [this] { enqueueBegin(BeginOrigin::microphoneGrant); },
        });
    tray_ = std::make_unique<TrayBinder>(
        *menuBar_, *menuStatus_, settingsStore_, soundServer_, std::move(dependencies.helpURL),
        TrayBinder::Commands{
            .setEnabled =
                [this](bool enabled) {
                    session_->enabled = enabled;
                    log_.info(QStringLiteral("hotkey enabled=")
                              + (enabled ? QStringLiteral("true") : QStringLiteral("false")));
                },
            .toggleRecord = [this] { toggleRecordFromStatus(); },
            .openSettings = [this](std::optional<SettingsSection> section) { settingsWindow_->show(section); },
            .showHistory = [this] { historyWindow_->show(); },
            .showDictionary = [this] { dictionaryWindow_->show(); },
            .quit = [this] { stop(); },
        });
    activeMicrophoneUID_ = prefs.selectedMicrophoneUID;
    audio_->setSelectedInputDeviceUID(activeMicrophoneUID_);

    OverlayViewModel& viewModel = overlay_->viewModel();
    viewModel.onCancel = [weak] {
        if (weak)
            weak->cancelDictationFromOverlay();
    };
    viewModel.onRetry = [weak] {
        if (weak)
            weak->retryDictationFromOverlay();
    };
    overlay_->onInsertText = [weak](const QString& text) {
        if (text.isEmpty() || !weak)
            return;
        const LayeredInserter inserter = *weak->textInserter_;
        spawn(weak.data(), QStringLiteral("pinned text insertion"),
              [inserter, text](std::stop_token) -> QCoro::Task<void> { co_await inserter.insertLayered(text); });
    };
    QPointer<OverlayViewModel> weakViewModel(&viewModel);
    session_->onSoftTimeout = [weakViewModel] {
        if (weakViewModel)
            weakViewModel->warning = softTimeoutWarning();
    };
    session_->onHardTimeout = [weak] {
        if (weak)
            weak->endDictation();
    };
    session_->onStopTimeout = [weak] {
        if (weak)
            weak->giveUpStalledSession();
    };
    hotkey_->setPressObserver([weak](HotkeyStateMachine::PressPhase phase) {
        if (weak)
            weak->handleHeldKeyPress(phase);
    });
}

AppContainer::~AppContainer()
{
    // A page that is recording a hotkey gives the hotkey back as it goes,
    // while everything it reaches is still here.
    settingsWindow_.reset();
    lastQueuedStep_.cancel();
    // The command session and the broadcaster finish their streams as they
    // go: the pumps must not wake into a container half taken apart.
    phoneCommands_->stop();
    account_.reset();
}

TaskHandle AppContainer::spawnTask(const QString& what, TaskHandle::Body body)
{
    return spawn(this, what, std::move(body));
}

TaskHandle AppContainer::runAfter(const TaskHandle& previous, const QString& what,
                                  std::function<QCoro::Task<void>(AppContainer&)> step)
{
    QPointer<AppContainer> weak(this);
    return spawnTask(what, [previous, weak, step = std::move(step)](std::stop_token token) -> QCoro::Task<void> {
        try {
            co_await previous.join();
        } catch (...) {
        }
        if (token.stop_requested() || !weak)
            co_return;
        co_await step(*weak);
    });
}

void AppContainer::enqueue(std::function<QCoro::Task<void>(AppContainer&)> step)
{
    lastQueuedStep_ = runAfter(lastQueuedStep_, QStringLiteral("queued dictation step"), std::move(step));
}

void AppContainer::enqueueBegin(BeginOrigin origin)
{
    enqueue([origin](AppContainer& container) { return container.beginDictation(origin); });
}

// MARK: Start and stop

void AppContainer::start()
{
    log_.info(QStringLiteral("container starting asr=")
              + (mockRecogniser_ ? QStringLiteral("mock") : QStringLiteral("cloud")));
    theme_.apply();
    // The first read of the installed applications scans them all; the first
    // dictation must not wait for it.
    QThreadPool::globalInstance()->start([entries = desktopEntries_] { entries->entries(); });
    historyWindow_->configure(account_->store(), historyBroadcaster_, historySyncEngine_.get());
    tray_->install();
    spawnTask(QStringLiteral("onboarding or hotkey"),
              [this](std::stop_token) -> QCoro::Task<void> { co_await bootstrapOnboardingOrHotkey(); });

    QPointer<AppContainer> weak(this);
    dictation_->addObserver([weak](const SessionSnapshot& snapshot) {
        postTo(weak.data(), [weak, snapshot] {
            if (weak)
                weak->applySnapshot(snapshot);
        });
    });
    preferencesObserverToken_ = settingsStore_->addObserver([weak](const Preferences& prefs) {
        postTo(weak.data(), [weak, prefs] {
            if (weak)
                weak->handlePreferencesChanged(prefs);
        });
    });
    tray_->followStatus();
    authStateSubscription_ = auth_->publisher()->subscribeStateQueued(this, [weak](const AuthState& state) {
        if (weak)
            weak->account_->apply(state);
    });
    phoneCommands_->start();
    account_->startUploads();
    // Last: the restored sign-in arrives after everything above exists.
    const std::shared_ptr<AuthSession> auth = auth_;
    spawnTask(QStringLiteral("authentication bootstrap"),
              [auth](std::stop_token) -> QCoro::Task<void> { co_await auth->bootstrap(); });
}

void AppContainer::stop()
{
    // Quitting from the menu stops, then termination stops again.
    if (stopped_)
        return;
    stopped_ = true;
    log_.info(QStringLiteral("container stopping"));
    hotkey_->stop();
    tray_->unfollowStatus();
    if (preferencesObserverToken_) {
        preferencesObserverToken_->cancel();
        preferencesObserverToken_.reset();
    }
    cancelStartTask();
    authStateSubscription_.cancel();
    lastQueuedStep_.cancel();
    phoneCommands_->stop();
    cancelAndDrop(audioRMSPumpTask_);
    account_->stop();
    closeASRConnection();
    overlay_->hide(stopFadeDuration);
}

QCoro::Task<void> AppContainer::bootstrapOnboardingOrHotkey()
{
    QPointer<AppContainer> self(this);
    const std::shared_ptr<PermissionChecker> checker = permissionChecker_;
    const auto statuses = co_await checker->snapshot();
    if (!self)
        co_return;
    const bool allGranted = std::all_of(statuses.begin(), statuses.end(), [](VellamorPermissionStatus status) {
        return status == VellamorPermissionStatus::granted;
    });
    if (!allGranted || !settingsStore_->hasCompletedOnboarding()) {
        menuBar_->updateIcon(MenuBarIconState::needsSetup);
        openOnboarding();
        co_return;
    }
    hotkeyFollower_->start();
}

void AppContainer::openOnboarding()
{
    onboarding_ = std::make_unique<OnboardingWindowController>(OnboardingWindowController::Dependencies{
        permissionChecker_, auth_->publisher(), signInSheet_.get(), hotkeyFollower_->displayName()});
    QPointer<AppContainer> weak(this);
    onboarding_->show(
        [weak] {
            if (weak)
                weak->finishOnboarding();
        },
        [weak] {
            if (weak)
                weak->hotkeyFollower_->start();
        });
}

void AppContainer::finishOnboarding()
{
    settingsStore_->markOnboardingComplete();
    // Called from the guide's own button: it goes on the next turn.
    if (onboarding_)
        std::exchange(onboarding_, nullptr).release()->deleteLater();
    menuBar_->updateIcon(MenuBarIconState::idle);
    menuStatus_->refresh();
    hotkeyFollower_->start();
}

// MARK: Hotkey and preferences

void AppContainer::handlePreferencesChanged(const Preferences& prefs)
{
    hotkeyFollower_->follow(prefs);
    if (prefs.selectedMicrophoneUID != activeMicrophoneUID_) {
        activeMicrophoneUID_ = prefs.selectedMicrophoneUID;
        audio_->setSelectedInputDeviceUID(activeMicrophoneUID_);
    }
    tray_->refreshMicrophones();
    menuStatus_->refresh();
}

SettingsPageHooks AppContainer::settingsPageHooks()
{
    QPointer<AppContainer> weak(this);
    SettingsPageHooks hooks;
    hooks.auth = auth_->publisher();
    hooks.soundServer = soundServer_;
    hooks.launchAtLogin = std::make_shared<LaunchAtLogin>(LaunchAtLogin::standard(environment_));
    hooks.hotkeyRecording = [weak](bool recording) {
        if (weak)
            weak->hotkeyFollower_->holdForRecorder(recording);
    };
    hooks.showHistory = [weak] {
        if (weak)
            weak->historyWindow_->show();
    };
    hooks.showDictionary = [weak] {
        if (weak)
            weak->dictionaryWindow_->show();
    };
    hooks.historyStore = [weak] { return weak ? weak->historyWindow_->store() : nullptr; };
    hooks.historySyncEngine = [weak] { return weak ? weak->historyWindow_->syncEngine() : nullptr; };
    return hooks;
}

void AppContainer::presentSignIn(QWidget* over, std::function<void()> closed)
{
    AuthSheet* sheet = signInSheet_->present(over);
    QObject::connect(sheet, &QDialog::finished, sheet, [closed = std::move(closed)] {
        if (closed)
            closed();
    });
}

void AppContainer::toggleRecordFromStatus()
{
    if (!session_->enabled.value())
        return;
    if (session_->isRecordingFromStatus.value()) {
        session_->isRecordingFromStatus = false;
        endDictation();
        return;
    }
    if (session_->sessionBusy.value()) {
        log_.info(QStringLiteral("status toggle on ignored: busy"));
        return;
    }
    session_->isRecordingFromStatus = true;
    enqueueBegin(BeginOrigin::statusItem);
}

void AppContainer::showSettings()
{
    settingsWindow_->show(std::nullopt);
}

// MARK: Dictation road

QCoro::Task<void> AppContainer::handleHotkey(HotkeyEvent event)
{
    if (!session_->enabled.value())
        co_return;
    switch (event.kind()) {
    case HotkeyEvent::Kind::pressed:
        if (session_->sessionBusy.value()) {
            log_.info(QStringLiteral("hotkey pressed ignored: busy"));
            co_return;
        }
        co_await beginDictation(BeginOrigin::hotkey);
        co_return;
    case HotkeyEvent::Kind::released:
        endDictation();
        co_return;
    case HotkeyEvent::Kind::toggled:
        if (!event.isOn()) {
            endDictation();
            co_return;
        }
        if (session_->sessionBusy.value()) {
            log_.info(QStringLiteral("hotkey toggled on ignored: busy"));
            setToggleState(false);
            co_return;
        }
        co_await beginDictation(BeginOrigin::hotkey);
        co_return;
    }
}

void AppContainer::handleHeldKeyPress(HotkeyStateMachine::PressPhase phase)
{
    // A running session owns the capture.
    if (session_->sessionBusy.value())
        return;
    if (phase == HotkeyStateMachine::PressPhase::abandoned)
        earlyAudio_->discard();
    else if (session_->enabled.value() && auth_->publisher()->state().isAuthenticated())
        earlyAudio_->open();
}

QCoro::Task<void> AppContainer::beginDictation(BeginOrigin origin)
{
    QPointer<AppContainer> self(this);
    const bool microphoneGranted = co_await microphoneGate_->admit();
    if (!self)
        co_return;
    if (!microphoneGranted) {
        earlyAudio_->discard();
        co_return;
    }
    if (!auth_->publisher()->state().isAuthenticated()) {
        log_.info(QStringLiteral("beginDictation blocked: unauthenticated"));
        earlyAudio_->discard();
        showUnauthenticatedHint();
        co_return;
    }
    if (session_->sessionBusy.value()) {
        log_.info(QStringLiteral("beginDictation ignored: busy"));
        co_return;
    }

    session_->sessionBusy = true;
    session_->armTimeoutWatchdog();
    log_.info(QStringLiteral("beginDictation: session opened"));
    // Gathers while the sign-in and the recogniser are awaited.
    earlyAudio_->open();
    // The island must not show the last session until the new one reports.
    OverlayViewModel& viewModel = overlay_->viewModel();
    overlay_->materializePinnedDoneIfNeeded();
    viewModel.state = DictationState::idle();
    viewModel.partialText = QString();
    viewModel.finalText = QString();
    viewModel.polishedText = QString();
    overlay_->show();
    startAudioRMSPump();
    menuBar_->updateIcon(MenuBarIconState::recording);
    // Without a press the toggle is off, and the next tap would be refused.
    if (origin != BeginOrigin::hotkey && hotkeyFollower_->mode() == HotkeyMode::toggle)
        setToggleState(true);

    const Preferences prefs = settingsStore_->current();
    const std::optional<QString> bundleID = frontmostProbe_->current().bundleIdentifier;
    const QString scene = resolveScene(prefs, bundleID);
    viewModel.scene = scene;
    viewModel.hotkeyMode = prefs.hotkeyMode;
    const QUrl endpoint = appendingPath(config_.wsBaseURL, QStringLiteral("v1/session"));
    std::optional<QString> llmProvider;
    if (prefs.enableLLMPolish && prefs.selectedLLMProviderName) {
        const QString trimmed = prefs.selectedLLMProviderName->trimmed();
        if (!trimmed.isEmpty())
            llmProvider = trimmed;
    }

    cancelStartTask();
    startTaskReachedController_ = false;
    stopWhenStarted_ = false;
    dictationStartTask_ = spawnTask(
        QStringLiteral("dictation start"),
        [self, prefs, scene, bundleID, endpoint, llmProvider](std::stop_token token) -> QCoro::Task<void> {
            const std::shared_ptr<AuthSession> auth = self->auth_;
            const std::optional<QString> accessToken = co_await auth->currentAccessToken();
            if (token.stop_requested() || !self)
                co_return;
            ASRSessionConfig config(endpoint, prefs.language, scene, prefs.style, prefs.enableLLMPolish, llmProvider,
                                    accessToken);
            DictationController& dictation = *self->dictation_;
            dictation.setInsertRawOnly(prefs.insertRawOnly);
            dictation.setSourceApp(bundleID);
            self->startTaskReachedController_ = true;
            co_await dictation.start(std::move(config));
            if (self && std::exchange(self->stopWhenStarted_, false))
                co_await self->dictation_->stop();
        });
}

void AppContainer::showHint(const QString& reason, std::chrono::milliseconds visibleFor)
{
    // A pinned result would be lost with the reset.
    overlay_->materializePinnedDoneIfNeeded();
    overlay_->viewModel().reset();
    overlay_->viewModel().state = DictationState::failed(reason);
    overlay_->show();
    menuBar_->updateIcon(MenuBarIconState::error);
    overlay_->hideAfter(visibleFor);
}

void AppContainer::showUnauthenticatedHint()
{
    showHint(unauthenticatedHint(), unauthenticatedHintDuration);
    setToggleState(false);
}

void AppContainer::clearSignedOutHint()
{
    // The island shows it no longer; the status item still would.
    const DictationState& shown = overlay_->viewModel().state.value();
    if (shown.kind() != DictationState::Kind::failed || shown.reason() != unauthenticatedHint())
        return;
    overlay_->viewModel().state = DictationState::idle();
    menuBar_->updateIcon(MenuBarIconState::idle);
    menuStatus_->refresh();
}

void AppContainer::startAudioRMSPump()
{
    stopAudioRMSPump();
    Channel<float> levels = audio_->rmsStream();
    QPointer<AppContainer> weak(this);
    audioRMSPumpTask_ = spawnTask(QStringLiteral("level pump"),
                                  [weak, levels](std::stop_token token) -> QCoro::Task<void> {
                                      for (;;) {
                                          const std::optional<float> level = co_await levels.next(token);
                                          if (!level || !weak)
                                              co_return;
                                          weak->overlay_->viewModel().rms = *level;
                                      }
                                  });
}

void AppContainer::stopAudioRMSPump()
{
    cancelAndDrop(audioRMSPumpTask_);
}

QString AppContainer::resolveScene(const Preferences& prefs, const std::optional<QString>& bundleID)
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

void AppContainer::cancelStartTask()
{
    cancelAndDrop(dictationStartTask_);
}

void AppContainer::endDictation()
{
    // A release after a refused press has no session to end.
    if (!session_->sessionBusy.value()) {
        log_.info(QStringLiteral("endDictation ignored: no session"));
        return;
    }
    menuBar_->updateIcon(MenuBarIconState::processing);
    session_->disarmTimeoutWatchdog();
    session_->armStopWatchdog(limits_.afterStop);
    if (dictationStartTask_ && !startTaskReachedController_) {
        // Still waiting for the sign-in: what was said so far is kept and
        // recognised once the session has started.
        log_.info(QStringLiteral("dictation stop deferred until the session has started"));
        earlyAudio_->seal();
        stopWhenStarted_ = true;
        return;
    }
    cancelStartTask();
    QPointer<AppContainer> weak(this);
    spawnTask(QStringLiteral("dictation stop"), [weak](std::stop_token) -> QCoro::Task<void> {
        if (weak)
            co_await weak->dictation_->stop();
    });
}

void AppContainer::giveUpStalledSession()
{
    if (!session_->sessionBusy.value())
        return;
    // Its own late end must not close the session a second time.
    snapshotFilter_.abandonActive();
    cancelStartTask();
    overlay_->viewModel().state = DictationState::failed(stalledSessionReason());
    menuBar_->updateIcon(MenuBarIconState::error);
    closeTerminalSession(failedHideDelay);
    QPointer<AppContainer> weak(this);
    spawnTask(QStringLiteral("stalled session cancel"), [weak](std::stop_token) -> QCoro::Task<void> {
        if (weak)
            co_await weak->dictation_->cancel();
    });
}

void AppContainer::closeTerminalSession(std::chrono::milliseconds hideDelay)
{
    stopAudioRMSPump();
    overlay_->viewModel().stopTicking();
    overlay_->hideAfter(hideDelay);
    closeASRConnection();
    session_->finishSession();
    menuStatus_->refresh();
}

void AppContainer::closeASRConnection()
{
    const std::shared_ptr<WebSocketTransport> ws = ws_;
    spawnTask(QStringLiteral("recogniser socket close"),
              [ws](std::stop_token) -> QCoro::Task<void> { co_await ws->close(); });
}

void AppContainer::applySnapshot(const SessionSnapshot& snapshot)
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
    OverlayViewModel& viewModel = overlay_->viewModel();
    viewModel.state = snapshot.state;
    viewModel.partialText = snapshot.partialText;
    viewModel.finalText = snapshot.finalText;
    viewModel.polishedText = snapshot.polishedText;
    switch (snapshot.state.kind()) {
    case DictationState::Kind::recording:
        menuBar_->updateIcon(MenuBarIconState::recording);
        menuStatus_->refresh();
        return;
    case DictationState::Kind::transcribing:
    case DictationState::Kind::polishing:
    case DictationState::Kind::inserting:
        menuBar_->updateIcon(MenuBarIconState::processing);
        menuStatus_->refresh();
        return;
    case DictationState::Kind::done:
        dictationStartTask_.reset();
        menuBar_->updateIcon(MenuBarIconState::idle);
        if (onboarding_)
            onboarding_->markRecordingSuccess();
        closeTerminalSession(doneHideDelay);
        return;
    case DictationState::Kind::failed:
        dictationStartTask_.reset();
        menuBar_->updateIcon(MenuBarIconState::error);
        closeTerminalSession(failedHideDelay);
        return;
    case DictationState::Kind::cancelled:
        menuBar_->updateIcon(MenuBarIconState::idle);
        cancelStartTask();
        closeTerminalSession(cancelledHideDelay);
        return;
    case DictationState::Kind::idle:
        menuBar_->updateIcon(MenuBarIconState::idle);
        stopAudioRMSPump();
        viewModel.stopTicking();
        menuStatus_->refresh();
        return;
    }
}

void AppContainer::cancelDictationFromOverlay()
{
    log_.info(QStringLiteral("dictation cancel requested from overlay"));
    cancelStartTask();
    session_->disarmTimeoutWatchdog();
    session_->isRecordingFromStatus = false;
    setToggleState(false);
    menuBar_->updateIcon(MenuBarIconState::idle);
    stopAudioRMSPump();
    QPointer<AppContainer> weak(this);
    const std::shared_ptr<WebSocketTransport> ws = ws_;
    spawnTask(QStringLiteral("dictation cancel"), [weak, ws](std::stop_token) -> QCoro::Task<void> {
        if (!weak)
            co_return;
        co_await weak->dictation_->cancel();
        co_await ws->close();
    });
}

void AppContainer::retryDictationFromOverlay()
{
    log_.info(QStringLiteral("dictation retry requested from overlay"));
    snapshotFilter_.abandonActive();
    overlay_->cancelHideTask();
    overlay_->viewModel().reset();
    stopAudioRMSPump();
    cancelStartTask();
    session_->finishSession();
    setToggleState(false);
    enqueueBegin(BeginOrigin::retry);
}

void AppContainer::setToggleState(bool on)
{
    hotkey_->setToggleState(on);
}

void AppContainer::markInputSourceConnected()
{
    phoneCommands_->markConnected();
}

} // namespace vellamor
