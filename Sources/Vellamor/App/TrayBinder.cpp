#include "App/TrayBinder.h"

#include "AudioCapture/AudioInputDeviceManager.h"
#include "Support/Async/Spawn.h"

#include <QPointer>

#include <utility>

namespace vellamor {

TrayBinder::TrayBinder(MenuBarController& menu, MenuStatusViewModel& status, Published<MenuBarIconState>& icon,
    std::shared_ptr<SettingsStore> settings, std::shared_ptr<platform::SoundServer> soundServer,
    std::shared_ptr<platform::Workspace> workspace, QUrl helpURL, Commands commands, QObject* parent)
    : QObject(parent)
    , menu_(menu)
    , status_(status)
    , icon_(icon)
    , settings_(std::move(settings))
    , soundServer_(std::move(soundServer))
    , workspace_(std::move(workspace))
    , helpURL_(std::move(helpURL))
    , commands_(std::move(commands))
{
}

void TrayBinder::install()
{
    menu_.install();
    iconSubscription_ = icon_.subscribe([this](MenuBarIconState state) { menu_.updateIcon(state); });
    menu_.onToggleEnabled = commands_.setEnabled;
    menu_.onToggleRecord = commands_.toggleRecord;
    menu_.onOpenSettings = [this](const std::optional<QString>& section) {
        commands_.openSettings(section ? settingsSectionFromRawValue(*section) : std::nullopt);
    };
    menu_.onShowHistory = commands_.showHistory;
    menu_.onShowDictionary = commands_.showDictionary;
    menu_.onShowHelp = [this] { openHelp(); };
    menu_.onQuit = commands_.quit;
    menu_.onSelectMicrophoneUID = [this](const std::optional<QString>& uid) { selectMicrophone(uid); };
    refreshMicrophones();
    soundServer_->watchSources([weak = QPointer<TrayBinder>(this)] {
        if (weak)
            weak->refreshMicrophones();
    });
}

void TrayBinder::openHelp()
{
    QPointer<TrayBinder> weak(this);
    workspace_->openUrl(helpURL_, [weak](bool opened) {
        if (weak && !opened)
            weak->menu_.showHelpNotOpened(weak->helpURL_);
    });
}

void TrayBinder::followStatus()
{
    status_.bind();
    QPointer<TrayBinder> weak(this);
    statusSubscription_ = status_.status.subscribeQueued(this, [weak](const MenuBarStatus& status) {
        if (weak)
            weak->menu_.updateStatus(status);
    });
}

void TrayBinder::unfollowStatus()
{
    status_.unbind();
    statusSubscription_.cancel();
}

void TrayBinder::refreshMicrophones()
{
    QPointer<TrayBinder> weak(this);
    const std::shared_ptr<platform::SoundServer> server = soundServer_;
    spawn(this, QStringLiteral("microphone list"), [weak, server](std::stop_token) -> QCoro::Task<void> {
        const QList<AudioInputDevice> devices = co_await AudioInputDeviceManager::availableInputDevices(*server);
        if (weak)
            weak->menu_.updateMicrophones(devices, weak->settings_->current().selectedMicrophoneUID);
    });
}

void TrayBinder::selectMicrophone(const std::optional<QString>& uid)
{
    Preferences prefs = settings_->current();
    if (prefs.selectedMicrophoneUID == uid) {
        refreshMicrophones();
        return;
    }
    prefs.selectedMicrophoneUID = uid;
    settings_->update(prefs);
}

void TrayBinder::setConnectedBadge(bool on)
{
    if (menu_.hasConnectedInputSource() == on)
        return;
    menu_.setHasConnectedInputSource(on);
    menu_.updateIcon(icon_.value());
}

} // namespace vellamor
