#pragma once

#include "Menu/MenuBarController.h"
#include "Menu/MenuStatusViewModel.h"
#include "Platform/SoundServer/SoundServer.h"
#include "Platform/Workspace/Workspace.h"
#include "Settings/SettingsStore.h"
#include "SettingsWindow/SettingsSection.h"
#include "Support/Async/Published.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Binds the status item to the rest: its menu's commands, its microphone
// list (kept current as sources come and go), its status lines, its icon
// (the session's, drawn from here only) and its phone badge.
class TrayBinder : public QObject {
    Q_OBJECT

public:
    struct Commands {
        std::function<void(bool enabled)> setEnabled;
        std::function<void()> toggleRecord;
        std::function<void(std::optional<SettingsSection>)> openSettings;
        std::function<void()> showHistory;
        std::function<void()> showDictionary;
        std::function<void()> quit;
    };

    TrayBinder(MenuBarController& menu, MenuStatusViewModel& status, Published<MenuBarIconState>& icon,
        std::shared_ptr<SettingsStore> settings, std::shared_ptr<platform::SoundServer> soundServer,
        std::shared_ptr<platform::Workspace> workspace, QUrl helpURL, Commands commands, QObject* parent = nullptr);

    // Shows the item with its menu and microphones; from now on its icon
    // follows `icon`.
    void install();
    // The status lines follow the session, the account and the preferences.
    void followStatus();
    void unfollowStatus();
    void refreshMicrophones();
    // Stored as the preferred microphone; the same one again only reloads
    // the list.
    void selectMicrophone(const std::optional<QString>& uid);
    void setConnectedBadge(bool on);

private:
    // In the browser; where none opens it, the menu gives its address.
    void openHelp();

    MenuBarController& menu_;
    MenuStatusViewModel& status_;
    Published<MenuBarIconState>& icon_;
    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<platform::SoundServer> soundServer_;
    std::shared_ptr<platform::Workspace> workspace_;
    QUrl helpURL_;
    Commands commands_;
    Subscription statusSubscription_;
    Subscription iconSubscription_;
};

} // namespace vellamor
