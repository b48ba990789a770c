#pragma once

#include "AudioCapture/AudioInputDevice.h"
#include "Logging/VellamorLog.h"
#include "Menu/MenuBarIconState.h"
#include "Menu/MenuBarStatus.h"
#include "Windows/AddressNotOpenedAlert.h"

#include <QList>
#include <QMenu>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QUrl>

#include <functional>
#include <optional>

class QAction;

namespace vellamor {

// The application's permanent presence: the status item in the desktop's
// tray, its icon and tool tip, and its menu. It decides nothing: every entry
// calls a callback the composition root sets (an unset one does nothing), and
// the composition root pushes the icon state, the information rows and the
// microphones in. Without a tray host the application runs on (hotkey and
// overlay); that is logged once. Main thread only.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    // Logs to "com.vellamor.app"/"menubar"; quitting ends the application's event loop.
    explicit MenuBarController(QObject* parent = nullptr);
    MenuBarController(VellamorLog log, std::function<void()> terminate, QObject* parent = nullptr);
    ~MenuBarController() override;

    std::function<void(bool)> onToggleEnabled;
    std::function<void()> onToggleRecord;
    // A section key ("diagnostics", "historyDict"), or none for the first page.
    std::function<void(const std::optional<QString>&)> onOpenSettings;
    // Unset, history and dictionary open the settings' "historyDict" page instead.
    std::function<void()> onShowHistory;
    std::function<void()> onShowDictionary;
    std::function<void()> onShowHelp;
    // Runs before the application is asked to end.
    std::function<void()> onQuit;
    // A device's uid, or none for the system default.
    std::function<void(const std::optional<QString>&)> onSelectMicrophoneUID;

    // Once, at start: the status item with the idle icon and the menu.
    void install();
    // Empties the menu and fills it afresh; the microphone submenu starts empty.
    void buildMenu();
    void updateStatus(const MenuBarStatus& status);
    void updateIcon(MenuBarIconState state);
    // Does nothing before the menu is built.
    void updateMicrophones(const QList<AudioInputDevice>& devices, const std::optional<QString>& selectedUID);
    // Tells that no browser opened the help page and gives its address to
    // copy; the alert already open comes to the front instead of a second.
    void showHelpNotOpened(const QUrl& address);
    QMessageBox* helpAlert() const { return helpAlert_.alert(); }

    MenuBarIconState currentIconState() const { return currentIconState_; }
    // Takes effect at the next updateIcon().
    void setHasConnectedInputSource(bool connected) { hasConnectedInputSource_ = connected; }
    bool hasConnectedInputSource() const { return hasConnectedInputSource_; }
    bool isEnabled() const { return enabled_; }

    QMenu& menu() { return menu_; }
    // None before install().
    QSystemTrayIcon* item() const { return item_; }

public Q_SLOTS:
    // A left click toggles recording while dictation is enabled; anything
    // else opens the menu. The desktop shows the menu itself on a right click.
    void statusItemClicked(QSystemTrayIcon::ActivationReason reason);

private:
    void didToggleEnabled();
    void didToggleRecord();
    void didOpenSettings();
    void didShowHistory();
    void didShowDictionary();
    void didShowDiagnostics();
    void didShowHelp();
    void didQuit();
    void didSelectMicrophone(QAction* entry);
    void openSettings(const std::optional<QString>& section);
    void openMenu();

    VellamorLog log_;
    std::function<void()> terminate_;
    QSystemTrayIcon* item_ = nullptr;
    QMenu menu_;
    QPointer<QAction> enabledMenuItem_;
    QPointer<QMenu> microphoneMenu_;
    QPointer<QAction> connectionInfoItem_;
    QPointer<QAction> outputModeInfoItem_;
    QPointer<QAction> accountInfoItem_;
    AddressNotOpenedAlert helpAlert_;
    MenuBarIconState currentIconState_ = MenuBarIconState::idle;
    bool hasConnectedInputSource_ = false;
    struct DrawnIcon {
        MenuBarIconState state;
        bool badged;
        friend bool operator==(const DrawnIcon&, const DrawnIcon&) = default;
    };
    std::optional<DrawnIcon> drawnIcon_;
    bool enabled_ = true;
};

} // namespace vellamor
