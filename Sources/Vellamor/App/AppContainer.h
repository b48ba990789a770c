#pragma once

#include "App/AccountSwitcher.h"
#include "App/AppContainerDependencies.h"
#include "App/DictationRoad.h"
#include "App/HotkeyFollower.h"
#include "App/MicrophoneGate.h"
#include "App/OutcomeTeller.h"
#include "App/PhoneCommandRouter.h"
#include "App/SessionStateViewModel.h"
#include "App/TrayBinder.h"
#include "App/WindowsHub.h"
#include "Audio/EarlyAudioCapture.h"
#include "AudioCapture/AudioCapture.h"
#include "Auth/AuthSession.h"
#include "Context/FrontmostAppProbe.h"
#include "Dictation/ASRProvider.h"
#include "Dictation/DictationController.h"
#include "Dictation/SessionSnapshot.h"
#include "FrontmostApp/DesktopEntryIndex.h"
#include "History/HistoryChangeBroadcaster.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "Hotkey/HotkeyMonitor.h"
#include "InputSources/SourceCommandSessionProtocol.h"
#include "Logging/VellamorLog.h"
#include "Menu/MenuBarController.h"
#include "Menu/MenuStatusViewModel.h"
#include "Networking/WebSocketTransport.h"
#include "Onboarding/OnboardingWindowController.h"
#include "Overlay/RecordingOverlayController.h"
#include "Permissions/PermissionChecker.h"
#include "Settings/AppConfig.h"
#include "Settings/Preferences.h"
#include "Settings/SettingsStore.h"
#include "SettingsWindow/ThemeManager.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "TextInsertion/LayeredInserter.h"
#include "TextInsertion/LayeredInserterOutput.h"
#include "Windows/WindowServices.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The composition root: builds every long-lived service of the application
// in a fixed order, wires them, starts and stops them. The work at run time
// belongs to the collaborators it owns, each told of the others only through
// callbacks: the dictation road, the account switcher, the phone command
// router, the hotkey follower, the microphone gate, the tray binder and the
// windows hub. The session's state, the hotkey's toggle and the tray icon's
// included, lives in the session model.
//
// Everything runs on the main thread. Every callback and task it hands out
// holds it weakly. stop() runs once: quitting from the menu stops, and
// termination asks again.
class AppContainer : public QObject {
    Q_OBJECT

public:
    // Builds everything; starts nothing. Logs to "com.vellamor.app"/"container"
    // unless told otherwise.
    AppContainer(AppConfig config, AppContainerDependencies dependencies, QObject* parent = nullptr);
    AppContainer(AppConfig config, AppContainerDependencies dependencies, VellamorLog log, QObject* parent = nullptr);
    ~AppContainer() override;

    void start();
    void stop();

    // The way in without a tray host: a second start of the application.
    void showSettings();
    // Every session snapshot, in publication order; a stale terminal one of
    // an abandoned session is dropped.
    void applySnapshot(const SessionSnapshot& snapshot) { road_->applySnapshot(snapshot); }

    SettingsStore& settingsStore() { return *settingsStore_; }
    SettingsWindowController& settingsWindow() { return windows_->settings(); }
    MenuBarController& menuBar() { return *menuBar_; }
    HotkeyMonitor& hotkey() { return *hotkey_; }
    RecordingOverlayController& overlay() { return *overlay_; }
    SessionStateViewModel& session() { return *session_; }
    MenuStatusViewModel& menuStatus() { return *menuStatus_; }
    DictationController& dictation() { return *dictation_; }
    // Present while the first-run guide is open.
    OnboardingWindowController* onboarding() const { return onboarding_.get(); }
    const std::shared_ptr<LocalHistoryStore>& historyStore() const { return account_->store(); }
    HistorySyncEngine& historySyncEngine() { return *historySyncEngine_; }
    HistoryWindowController& historyWindow() { return windows_->history(); }
    DictionaryWindowController& dictionaryWindow() { return windows_->dictionary(); }
    AuthSheetPresenter& signInSheet() { return windows_->signInSheet(); }

Q_SIGNALS:
    // A paired phone was revoked or changed: lists of input sources reload.
    void inputSourceListChanged();

private:
    void buildDesktop(AppContainerDependencies& dependencies);
    void buildHistory(AppContainerDependencies& dependencies);
    void buildWindows(platform::PlatformAdapters& adapters);
    void buildRoads(QUrl helpURL, std::shared_ptr<platform::Workspace> workspace);
    QCoro::Task<void> bootstrapOnboardingOrHotkey();
    void openOnboarding();
    void finishOnboarding();
    void handlePreferencesChanged(const Preferences& prefs);

    VellamorLog log_;
    AppConfig config_;
    AppContainerDependencies::SessionLimits limits_;
    std::shared_ptr<AuthSession> auth_;
    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<platform::SoundServer> soundServer_;
    std::shared_ptr<SettingsStore> settingsStore_;
    std::shared_ptr<PermissionChecker> permissionChecker_;
    std::unique_ptr<MenuBarController> menuBar_;
    std::unique_ptr<SessionStateViewModel> session_;
    std::unique_ptr<HotkeyMonitor> hotkey_;
    std::unique_ptr<RecordingOverlayController> overlay_;
    // Tells on the island where each dictation's and phone's text went.
    std::optional<OutcomeTeller> outcomes_;
    std::optional<LayeredInserter> textInserter_;
    std::shared_ptr<AudioCapture> audio_;
    // The dictation's capture: `audio_`, opened from the press on.
    std::shared_ptr<EarlyAudioCapture> earlyAudio_;
    std::shared_ptr<WebSocketTransport> ws_;
    bool mockRecogniser_ = false;
    std::shared_ptr<HistoryChangeBroadcaster> historyBroadcaster_;
    std::unique_ptr<HistorySyncEngine> historySyncEngine_;
    std::shared_ptr<SourceCommandSessionProtocol> sourceCommands_;
    std::unique_ptr<AccountSwitcher> account_;
    QProcessEnvironment environment_;
    SleepFunction sleep_;
    std::unique_ptr<DictationController> dictation_;
    LocaleResolver* locale_;
    // What the windows build their backend clients with.
    WindowServices windowServices_;
    ThemeManager theme_;
    std::unique_ptr<WindowsHub> windows_;
    std::unique_ptr<PhoneCommandRouter> phoneCommands_;
    std::shared_ptr<DesktopEntryIndex> desktopEntries_;
    std::shared_ptr<FrontmostAppProbe> frontmostProbe_;
    std::unique_ptr<MenuStatusViewModel> menuStatus_;
    std::unique_ptr<TrayBinder> tray_;
    std::unique_ptr<MicrophoneGate> microphoneGate_;
    std::unique_ptr<HotkeyFollower> hotkeyFollower_;
    std::unique_ptr<DictationRoad> road_;
    std::unique_ptr<OnboardingWindowController> onboarding_;
    std::shared_ptr<SettingsStore::ObserverToken> preferencesObserverToken_;
    Subscription authStateSubscription_;
    bool stopped_ = false;
    std::optional<QString> activeMicrophoneUID_;
};

} // namespace vellamor
