#pragma once

#include "AccountWindows/AccountServices.h"
#include "AccountWindows/AuthSheetPresenter.h"
#include "Auth/AuthSession.h"
#include "Diagnostics/DiagnosticsServices.h"
#include "HistoryWindows/DictionaryWindowController.h"
#include "HistoryWindows/HistoryWindowController.h"
#include "InputSourceWindows/PairingConfirmController.h"
#include "Platform/GlobalInput/GlobalInputMonitor.h"
#include "Platform/SoundServer/SoundServer.h"
#include "Settings/SettingsStore.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/ThemeManager.h"
#include "Support/Async/Sleep.h"
#include "TextInsertion/LayeredInserter.h"
#include "Windows/WindowServices.h"

#include <QProcessEnvironment>
#include <QWidget>

#include <functional>
#include <memory>

namespace vellamor {

class LocaleResolver;

// The application's windows and what they share: the settings, history and
// dictionary windows, the sign-in sheet they all open, and the pairing
// confirmation.
class WindowsHub {
public:
    struct Dependencies {
        WindowServices services;
        std::shared_ptr<AuthSession> auth;
        std::shared_ptr<SettingsStore> settings;
        ThemeManager& theme;
        LocaleResolver& locale;
        std::shared_ptr<UserDefaults> defaults;
        SleepFunction sleep;
        DiagnosticsServices diagnostics;
        std::shared_ptr<platform::SoundServer> soundServer;
        std::shared_ptr<platform::GlobalInputMonitor> globalInput;
        QProcessEnvironment environment;
        LayeredInserter inserter;
        std::function<bool()> isAccessibilityTrusted;
        // A settings page records a new hotkey, or has stopped.
        std::function<void(bool recording)> hotkeyRecording;
        AccountServices::ChangeSubscriber inputSourcesChanged;
    };

    explicit WindowsHub(Dependencies dependencies);
    ~WindowsHub();

    AuthSheetPresenter& signInSheet() { return *signInSheet_; }
    SettingsWindowController& settings() { return *settings_; }
    PairingConfirmController& pairing() { return *pairing_; }
    HistoryWindowController& history() { return *history_; }
    DictionaryWindowController& dictionary() { return *dictionary_; }

private:
    SettingsPageHooks pageHooks(const Dependencies& dependencies);
    // Closed runs when the sheet goes, signed in or not.
    void presentSignIn(QWidget* over, std::function<void()> closed);

    // Outlives the windows that open it.
    std::unique_ptr<AuthSheetPresenter> signInSheet_;
    std::unique_ptr<SettingsWindowController> settings_;
    std::unique_ptr<PairingConfirmController> pairing_;
    std::unique_ptr<HistoryWindowController> history_;
    std::unique_ptr<DictionaryWindowController> dictionary_;
};

} // namespace vellamor
