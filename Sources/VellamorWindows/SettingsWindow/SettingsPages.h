#pragma once

#include "SettingsWindow/SettingsSection.h"

#include <functional>
#include <memory>

class QWidget;

namespace vellamor {

class AuthSessionObserver;
class HistorySyncEngine;
class LaunchAtLogin;
class LocalHistoryStore;
class SettingsStoreObservable;
class ThemeManager;
struct AccountServices;
struct DiagnosticsServices;
struct WindowServices;

namespace platform {
class SoundServer;
}

// What the pages reach of the running application besides the
// preferences; the composition root fills it from its own services and
// window controllers. An empty member reads as "not there".
struct SettingsPageHooks {
    // Signed in or not.
    std::shared_ptr<AuthSessionObserver> auth;
    // Where the microphones are listed from.
    std::shared_ptr<platform::SoundServer> soundServer;
    std::shared_ptr<LaunchAtLogin> launchAtLogin;
    // True when a hotkey recording starts, false when it ends, however it ends.
    std::function<void(bool recording)> hotkeyRecording;
    std::function<void()> showHistory;
    std::function<void()> showDictionary;
    // The history store in use and the sync engine, as they are now.
    std::function<std::shared_ptr<LocalHistoryStore>()> historyStore;
    std::function<HistorySyncEngine*()> historySyncEngine;
};

// Everything the pages of the settings window are built from; each
// section's descriptor hands its page only the part that page uses.
struct SettingsPageContext {
    SettingsStoreObservable& obs;
    ThemeManager& theme;
    const WindowServices& services;
    const DiagnosticsServices& diagnostics;
    const SettingsPageHooks& hooks;
    const AccountServices& account;
};

// A new page for `section`, made by its descriptor; it fetches what it
// shows as it is built.
QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent);

} // namespace vellamor
