#include "App/HotkeyFollower.h"

#include "Hotkey/HotkeyCombo.h"
#include "Hotkey/HotkeyError.h"
#include "Platform/KeySource/KeyCodeMapping.h"

#include <utility>

namespace vellamor {

namespace {

QString orNil(const std::optional<QString>& text)
{
    return text ? *text : QStringLiteral("<nil>");
}

} // namespace

HotkeyFollower::HotkeyFollower(HotkeyMonitor& monitor, std::shared_ptr<SettingsStore> settings,
                               SessionStateViewModel& session, VellamorLog log, Hooks hooks)
    : monitor_(monitor)
    , settings_(std::move(settings))
    , session_(session)
    , log_(std::move(log))
    , hooks_(std::move(hooks))
{
}

std::optional<ParsedCombo> HotkeyFollower::customCombo() const
{
    const std::optional<QString> raw = settings_->current().customHotkey;
    if (!raw || raw->isEmpty())
        return std::nullopt;
    // The settings page says why by the same rule.
    if (HotkeyCombo::setAside(*raw)) {
        log_.warn(QStringLiteral("invalid customHotkey ignored"), *raw);
        return std::nullopt;
    }
    return HotkeyCombo::parse(*raw);
}

QString HotkeyFollower::displayName() const
{
    const std::optional<QString> customHotkey = settings_->current().customHotkey;
    return customCombo() ? HotkeyCombo::displayKeycaps(*customHotkey).join(u'+')
                         : platform::KeyCodeMapping::heldKeyName();
}

void HotkeyFollower::start()
{
    const Preferences prefs = settings_->current();
    const std::optional<ParsedCombo> combo = customCombo();
    session_.activeCustomHotkey = prefs.customHotkey;
    // The mode the user chose, which the overlay's hint also shows.
    const HotkeyMode mode = hotkeyModeFromRawValue(prefs.hotkeyMode).value_or(HotkeyMode::hold);
    mode_ = mode;
    try {
        monitor_.start(mode, combo, hooks_.event);
    } catch (const HotkeyError& error) {
        log_.error(QStringLiteral("hotkey start failed: ") + error.debugDescription());
        hooks_.failed();
    }
}

void HotkeyFollower::follow(const Preferences& prefs)
{
    const std::optional<QString> activeCombo = session_.activeCustomHotkey.value();
    const HotkeyMode mode = hotkeyModeFromRawValue(prefs.hotkeyMode).value_or(HotkeyMode::hold);
    const bool comboChanged = prefs.customHotkey != activeCombo;
    const bool modeChanged = mode_ && mode != mode_;
    if (comboChanged)
        log_.info(QStringLiteral("customHotkey changed"),
                  orNil(activeCombo) + QStringLiteral(" → ") + orNil(prefs.customHotkey));
    if (modeChanged)
        log_.info(QStringLiteral("hotkeyMode changed: ") + rawValue(*mode_) + QStringLiteral(" → ") + rawValue(mode));
    if ((comboChanged || modeChanged) && !heldForRecorder_) {
        monitor_.stop();
        start();
    }
}

void HotkeyFollower::holdForRecorder(bool recording)
{
    if (recording) {
        // Right Ctrl must not start a dictation, and a grabbed combination
        // must reach the recorder.
        heldForRecorder_ = heldForRecorder_ || monitor_.isStarted();
        monitor_.stop();
    } else if (std::exchange(heldForRecorder_, false)) {
        start();
    }
}

} // namespace vellamor
