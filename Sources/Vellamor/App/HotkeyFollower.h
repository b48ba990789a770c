#pragma once

#include "App/SessionStateViewModel.h"
#include "Hotkey/HotkeyEvent.h"
#include "Hotkey/HotkeyMode.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Hotkey/ParsedCombo.h"
#include "Logging/VellamorLog.h"
#include "Settings/SettingsStore.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Runs the hotkey the preferences name: starts it, restarts it when its key
// or mode changes, and holds it while a settings page records a new one.
class HotkeyFollower {
public:
    struct Hooks {
        // On the hotkey's thread.
        std::function<void(const HotkeyEvent&)> event;
        std::function<void()> failed;
    };

    HotkeyFollower(HotkeyMonitor& monitor, std::shared_ptr<SettingsStore> settings, SessionStateViewModel& session,
                   VellamorLog log, Hooks hooks);

    void start();
    void follow(const Preferences& prefs);
    // Keys go to the recorder while it records; the stored hotkey comes back
    // when it ends.
    void holdForRecorder(bool recording);
    // None before the first start.
    std::optional<HotkeyMode> mode() const { return mode_; }
    // What the guide calls the key its first dictation will use.
    QString displayName() const;

private:
    std::optional<ParsedCombo> customCombo() const;

    HotkeyMonitor& monitor_;
    std::shared_ptr<SettingsStore> settings_;
    SessionStateViewModel& session_;
    VellamorLog log_;
    Hooks hooks_;
    std::optional<HotkeyMode> mode_;
    // The hotkey ran when a hotkey recording stopped it.
    bool heldForRecorder_ = false;
};

} // namespace vellamor
