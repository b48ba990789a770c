#include "App/AppContainer.h"

#include "App/WindowClients.h"
#include "DataSync/DataSyncAPI.h"
#include "Dictation/MockASRProvider.h"
#include "FrontmostApp/ActiveWindowFrontmostAppProbe.h"
#include "FrontmostApp/DesktopEntryIndex.h"
#include "I18n/LocaleResolver.h"
#include "InputSources/SourceCommandSession.h"
#include "Networking/AuthedSession.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"
#include "Overlay/QtScreenLayout.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/Spawn.h"
#include "Support/UrlPath.h"
#include "TextInsertion/SystemLayeredInserter.h"
#include "Version/ApplicationVersion.h"

#include <QApplication>
#include <QThreadPool>

#include <algorithm>
#include <utility>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr qint64 maxDurationMs = 360000;
constexpr auto microphoneHintDuration = 2200ms;
constexpr auto stopFadeDuration = 300ms;

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
    , theme_(defaults_, dependencies.platform.colorScheme)
{
    if (!dependencies.http)
        dependencies.http = AuthedSession::shared();
    windowServices_ = withWindowClients(std::move(dependencies.windowServices), config_, dependencies.http, auth_);
    settingsStore_ = std::make_shared<SettingsStore>(defaults_, SettingsStore::standardKey());
    locale_->setLanguage(settingsStore_->current().language);
    buildDesktop(dependencies);
    buildHistory(dependencies);
    buildWindows(dependencies.platform);
    buildRoads(std::move(dependencies.helpURL), dependencies.platform.workspace);
}

void AppContainer::buildDesktop(AppContainerDependencies& dependencies)
{
    platform::PlatformAdapters& adapters = dependencies.platform;
    permissionChecker_ = std::make_shared<PermissionChecker>(PermissionChecker::Facilities{
        adapters.inputMonitoring, adapters.soundServer, adapters.accessibilityStatus, adapters.commandLauncher});
    auto terminate = dependencies.terminate ? dependencies.terminate : [] { QCoreApplication::quit(); };
    menuBar_ = std::make_unique<MenuBarController>(
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("menubar")), std::move(terminate));
    session_ = std::make_unique<SessionStateViewModel>(
        limits_.soft, limits_.hard, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("session-vm")),
        sleep_);
    // The model outlives the monitor that flips its toggle: it is declared first.
    if (dependencies.hotkeyScheduler) {
        hotkey_ = std::make_unique<HotkeyMonitor>(
            std::move(adapters.keySource), std::move(dependencies.hotkeyScheduler),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey")), session_->hotkeyToggle);
    } else {
        hotkey_ = std::make_unique<HotkeyMonitor>(std::move(adapters.keySource), session_->hotkeyToggle);
    }
    overlay_ = std::make_unique<RecordingOverlayController>(
        adapters.pasteboard, dependencies.screens ? dependencies.screens : std::make_shared<QtScreenLayout>(),
        dependencies.overlayClock ? dependencies.overlayClock : OverlayTickerClock::system());
    // A paste the user makes after a dictation's is theirs: the loan gives their contents back.
    if (adapters.pasteboard)
        hotkey_->setPasteObserver([pasteboard = adapters.pasteboard] { pasteboard->userPasted(); });
    HotkeyMonitor* monitor = hotkey_.get();
    textInserter_ = SystemLayeredInserter::make(
        adapters.accessibilityBus, adapters.keyInjector, adapters.pasteboard,
        SystemLayeredInserter::accessibilityTrust(permissionChecker_),
        [monitor](bool ignoring) { monitor->setIgnoringSyntheticInput(ignoring); }, defaults_);
    audio_ = std::make_shared<AudioCapture>(adapters.soundServer);
    activeMicrophoneUID_ = settingsStore_->current().selectedMicrophoneUID;
    audio_->setSelectedInputDeviceUID(activeMicrophoneUID_);
    earlyAudio_ = std::make_shared<EarlyAudioCapture>(audio_);
    ws_ = dependencies.asrTransport ? dependencies.asrTransport : std::make_shared<WebSocketSession>();
    mockRecogniser_ = MockASRProvider::isSelected(dependencies.environment);
    desktopEntries_ = std::make_shared<DesktopEntryIndex>();
    frontmostProbe_ = std::make_shared<ActiveWindowFrontmostAppProbe>(adapters.activeWindowReader, desktopEntries_);
    menuStatus_ = std::make_unique<MenuStatusViewModel>(overlay_->viewModel(), settingsStore_, auth_->publisher());
    outcomes_.emplace(*overlay_, *session_, DictationRoad::doneHideDelay);
}

void AppContainer::buildHistory(AppContainerDependencies& dependencies)
{
    historyBroadcaster_ = std::make_shared<HistoryChangeBroadcaster>();
    const std::shared_ptr<LocalHistoryStore> anonymousStore =
        LocalHistoryStore::anonymous(historyBroadcaster_, dependencies.historyBaseDirectory);
    std::shared_ptr<DataSyncAPIProtocol> dataSync = dependencies.dataSync;
    if (!dataSync)
        dataSync = std::make_shared<DataSyncAPI>(config_.apiBaseURL, dependencies.http, auth_->accessTokens(),
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
            .signedIn = [this] { road_->clearSignedOutHint(); },
            .signedOut = [this] { phoneCommands_->clearConnected(); },
            .storeChanged =
                [this](const std::shared_ptr<LocalHistoryStore>& store) {
                    windows_->history().configure(store, historyBroadcaster_, historySyncEngine_.get());
                    dictation_->setHistoryStore(store);
                },
        },
        log_);
    std::shared_ptr<ASRProvider> asr;
    if (mockRecogniser_)
        asr = MockASRProvider::makeForApplication();
    else
        asr = std::make_shared<CloudASRProvider>(ws_);
    auto output = std::make_shared<LayeredInserterOutput>(*textInserter_);
    output->onDeliveryStarted = [teller = *outcomes_](const QString&) { return teller.dictation(); };
    dictation_ = std::make_unique<DictationController>(earlyAudio_, std::move(asr), std::move(output), maxDurationMs,
                                                       anonymousStore);
}

void AppContainer::buildWindows(platform::PlatformAdapters& adapters)
{
    windows_ = std::make_unique<WindowsHub>(WindowsHub::Dependencies{
        .services = windowServices_,
        .auth = auth_,
        .settings = settingsStore_,
        .theme = theme_,
        .locale = *locale_,
        .defaults = defaults_,
        .sleep = sleep_,
        .diagnostics = DiagnosticsServices{permissionChecker_, adapters.pasteboard, adapters.workspace,
                                           VellamorLog::fileURL(), ApplicationVersion::current()},
        .soundServer = soundServer_,
        .globalInput = adapters.globalInput,
        .environment = environment_,
        .inserter = *textInserter_,
        .isAccessibilityTrusted = SystemLayeredInserter::accessibilityTrust(permissionChecker_),
        .hotkeyRecording = [this](bool recording) { hotkeyFollower_->holdForRecorder(recording); },
        .inputSourcesChanged =
            [this](QObject* receiver, std::function<void()> slot) {
                connect(this, &AppContainer::inputSourceListChanged, receiver, std::move(slot));
            },
    });
}

void AppContainer::buildRoads(QUrl helpURL, std::shared_ptr<platform::Workspace> workspace)
{
    QPointer<AppContainer> weak(this);
    auto phoneOutput = std::make_shared<LayeredInserterOutput>(*textInserter_);
    phoneOutput->onDeliveryStarted = [teller = *outcomes_](const QString& text) { return teller.phoneText(text); };
    phoneCommands_ = std::make_unique<PhoneCommandRouter>(
        sourceCommands_, std::move(phoneOutput), sleep_, log_,
        PhoneCommandRouter::Hooks{
            .currentStore = [this] { return account_->store(); },
            .confirmPairing = [this](const PairingRequestPayload& payload) { windows_->pairing().enqueue(payload); },
            .showConnected = [this](bool on) { tray_->setConnectedBadge(on); },
        });
    connect(phoneCommands_.get(), &PhoneCommandRouter::listChanged, this, &AppContainer::inputSourceListChanged);
    hotkeyFollower_ = std::make_unique<HotkeyFollower>(
        *hotkey_, settingsStore_, *session_, log_,
        HotkeyFollower::Hooks{
            .event =
                [weak](const HotkeyEvent& event) {
                    postTo(weak.data(), [weak, event] {
                        if (weak)
                            weak->road_->enqueueHotkey(event);
                    });
                },
            .failed = [this] { session_->icon = MenuBarIconState::error; },
        });
    microphoneGate_ = std::make_unique<MicrophoneGate>(
        permissionChecker_, log_,
        MicrophoneGate::Hooks{
            .standDown = [this] { road_->standDown(); },
            .showHint = [this] { road_->showHint(MicrophoneGate::hint(), microphoneHintDuration); },
            .grantedLater = [this] { road_->enqueueBegin(DictationRoad::BeginOrigin::microphoneGrant); },
        });
    tray_ = std::make_unique<TrayBinder>(
        *menuBar_, *menuStatus_, session_->icon, settingsStore_, soundServer_, std::move(workspace),
        std::move(helpURL),
        TrayBinder::Commands{
            .setEnabled = [this](bool enabled) { road_->setEnabled(enabled); },
            .toggleRecord = [this] { road_->toggleFromStatus(); },
            .openSettings = [this](std::optional<SettingsSection> section) { windows_->settings().show(section); },
            .showHistory = [this] { windows_->history().show(); },
            .showDictionary = [this] { windows_->dictionary().show(); },
            .quit = [this] { stop(); },
        });
    road_ = std::make_unique<DictationRoad>(
        DictationRoad::Parts{
            .session = *session_,
            .overlay = *overlay_,
            .menuStatus = *menuStatus_,
            .hotkey = *hotkey_,
            .hotkeyFollower = *hotkeyFollower_,
            .microphone = *microphoneGate_,
            .dictation = *dictation_,
            .inserter = *textInserter_,
            .earlyAudio = earlyAudio_,
            .audio = audio_,
            .ws = ws_,
            .auth = auth_,
            .settings = settingsStore_,
            .frontmost = frontmostProbe_,
            .sessionEndpoint = appendingPath(config_.wsBaseURL, QStringLiteral("v1/session")),
            .afterStop = limits_.afterStop,
        },
        DictationRoad::Hooks{.succeeded =
                                 [this] {
                                     if (onboarding_)
                                         onboarding_->markRecordingSuccess();
                                 }},
        log_);
}

AppContainer::~AppContainer()
{
    // A page that is recording a hotkey gives the hotkey back as it goes,
    // while everything it reaches is still here.
    windows_.reset();
    // The command session finishes its stream as it goes: the pump must not
    // wake into a container half taken apart.
    phoneCommands_->stop();
    account_.reset();
    road_.reset();
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
    windows_->history().configure(account_->store(), historyBroadcaster_, historySyncEngine_.get());
    tray_->install();
    spawn(this, QStringLiteral("onboarding or hotkey"),
          [this](std::stop_token) -> QCoro::Task<void> { co_await bootstrapOnboardingOrHotkey(); });

    QPointer<AppContainer> weak(this);
    dictation_->addObserver([weak](const SessionSnapshot& snapshot) {
        postTo(weak.data(), [weak, snapshot] {
            if (weak)
                weak->road_->applySnapshot(snapshot);
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
    // Last: the restored sign-in arrives after everything above exists.
    const std::shared_ptr<AuthSession> auth = auth_;
    spawn(this, QStringLiteral("authentication bootstrap"),
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
    authStateSubscription_.cancel();
    road_->stop();
    phoneCommands_->stop();
    account_->stop();
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
        session_->icon = MenuBarIconState::needsSetup;
        openOnboarding();
        co_return;
    }
    hotkeyFollower_->start();
}

void AppContainer::openOnboarding()
{
    onboarding_ = std::make_unique<OnboardingWindowController>(OnboardingWindowController::Dependencies{
        permissionChecker_, auth_->publisher(), &windows_->signInSheet(), hotkeyFollower_->displayName()});
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
    session_->icon = MenuBarIconState::idle;
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

void AppContainer::showSettings()
{
    windows_->settings().show(std::nullopt);
}

} // namespace vellamor
