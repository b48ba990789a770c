#pragma once

#include "App/HotkeyFollower.h"
#include "App/MicrophoneGate.h"
#include "App/SessionStateViewModel.h"
#include "App/SnapshotFilter.h"
#include "App/StepQueue.h"
#include "Audio/EarlyAudioCapture.h"
#include "AudioCapture/AudioCapture.h"
#include "Auth/AuthSession.h"
#include "Context/FrontmostAppProbe.h"
#include "Dictation/DictationController.h"
#include "Dictation/SessionSnapshot.h"
#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Logging/VellamorLog.h"
#include "Menu/MenuStatusViewModel.h"
#include "Networking/WebSocketTransport.h"
#include "Overlay/RecordingOverlayController.h"
#include "Settings/SettingsStore.h"
#include "Support/Async/TaskHandle.h"
#include "TextInsertion/LayeredInserter.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The road of one dictation: from a press of the hotkey or the status
// item's record entry, through the microphone and the sign-in, to the
// session's end on the island and the status item, with its limits, its
// level meter and the overlay's cancel and retry.
//
// Hotkey events and record commands run one at a time, each after the
// previous one has finished, also when one waits for the sound server. The
// session's state, the hotkey's toggle and the start's stage included, lives
// in the session model.
class DictationRoad : public QObject {
    Q_OBJECT

public:
    static QString unauthenticatedHint() { return QStringLiteral("请先登录后再使用语音输入"); }
    static QString softTimeoutWarning() { return QStringLiteral("即将超时，1 分钟后自动结束"); }
    static QString stalledSessionReason() { return QStringLiteral("识别超时，请重试"); }
    // How long a finished island stays once its outcome is told.
    static constexpr std::chrono::milliseconds doneHideDelay{1500};

    // What opened a session: only a hotkey press leaves the toggle as it is.
    enum class BeginOrigin { hotkey, statusItem, retry, microphoneGrant };

    // Everything outlives the road.
    struct Parts {
        SessionStateViewModel& session;
        RecordingOverlayController& overlay;
        MenuStatusViewModel& menuStatus;
        HotkeyMonitor& hotkey;
        const HotkeyFollower& hotkeyFollower;
        MicrophoneGate& microphone;
        DictationController& dictation;
        // Types what the island's pinned result hands back.
        LayeredInserter inserter;
        std::shared_ptr<EarlyAudioCapture> earlyAudio;
        std::shared_ptr<AudioCapture> audio;
        std::shared_ptr<WebSocketTransport> ws;
        std::shared_ptr<AuthSession> auth;
        std::shared_ptr<SettingsStore> settings;
        std::shared_ptr<FrontmostAppProbe> frontmost;
        QUrl sessionEndpoint;
        // How long a stopped session may take to end.
        std::chrono::nanoseconds afterStop;
    };
    struct Hooks {
        // A dictation went in.
        std::function<void()> succeeded;
    };

    DictationRoad(Parts parts, Hooks hooks, VellamorLog log, QObject* parent = nullptr);
    ~DictationRoad() override;

    void enqueueHotkey(const HotkeyEvent& event);
    void enqueueBegin(BeginOrigin origin);
    void toggleFromStatus();
    // Off: the hotkey and the record entry are ignored.
    void setEnabled(bool enabled);
    // A session that was asked for does not open: nothing stays armed for it.
    void standDown();
    void end();
    // Every session snapshot, in publication order; a stale terminal one of
    // an abandoned session is dropped.
    void applySnapshot(const SessionSnapshot& snapshot);
    void showHint(const QString& reason, std::chrono::milliseconds visibleFor);
    // Signed in: an error that only said the user was signed out ends.
    void clearSignedOutHint();
    void stop();

private:
    QCoro::Task<void> handleHotkey(HotkeyEvent event);
    // The held key went down or its press came to nothing: the microphone
    // opens at once, so the words spoken while the press is told from a tap
    // are kept, and a tap throws them away.
    void handlePressPhase(HotkeyStateMachine::PressPhase phase);
    QCoro::Task<void> begin(BeginOrigin origin);
    // Reads the preferences and the front application, then hands the
    // session to the controller once the access token is in.
    void startSession();
    void showUnauthenticatedHint();
    void startAudioRMSPump();
    void stopAudioRMSPump();
    QString resolveScene(const Preferences& prefs, const std::optional<QString>& bundleID);
    void cancelStartTask();
    void giveUpStalledSession();
    void closeTerminalSession(std::chrono::milliseconds hideDelay);
    void closeASRConnection();
    void cancelFromOverlay();
    void retryFromOverlay();

    Parts p_;
    Hooks hooks_;
    VellamorLog log_;
    StepQueue steps_;
    SnapshotFilter snapshotFilter_;
    std::optional<TaskHandle> audioRMSPumpTask_;
    // How far it has come is the session model's startStage.
    std::optional<TaskHandle> dictationStartTask_;
};

} // namespace vellamor
