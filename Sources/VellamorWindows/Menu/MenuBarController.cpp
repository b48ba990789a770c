#include "Menu/MenuBarController.h"

#include "Menu/MenuBarIcon.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QKeySequence>
#include <QMessageBox>

namespace vellamor {

MenuBarController::MenuBarController(QObject* parent)
    : MenuBarController(VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("menubar")),
                        [] { QCoreApplication::quit(); }, parent)
{
}

MenuBarController::MenuBarController(VellamorLog log, std::function<void()> terminate, QObject* parent)
    : QObject(parent)
    , log_(std::move(log))
    , terminate_(std::move(terminate))
    , helpAlert_(QStringLiteral("无法打开帮助页面"))
{
}

MenuBarController::~MenuBarController()
{
    // The icon goes first: it refers to the menu.
    delete item_;
}

void MenuBarController::install()
{
    if (item_)
        return;
    item_ = new QSystemTrayIcon(this);
    updateIcon(MenuBarIconState::idle);
    buildMenu();
    // Kept attached: a StatusNotifier host reads the menu over D-Bus and shows
    // it itself, and the left click still arrives as an activation.
    item_->setContextMenu(&menu_);
    connect(item_, &QSystemTrayIcon::activated, this, &MenuBarController::statusItemClicked);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        log_.warn(QStringLiteral(
            "menubar has no tray host: dictation works by hotkey only; start Vellamor again to open its settings"));
    item_->show();
    log_.info(QStringLiteral("menubar installed"));
}

void MenuBarController::buildMenu()
{
    menu_.clear();
    delete microphoneMenu_.data();

    connectionInfoItem_ = menu_.addAction(QStringLiteral("当前状态：—"));
    connectionInfoItem_->setEnabled(false);
    outputModeInfoItem_ = menu_.addAction(QStringLiteral("输出模式：—"));
    outputModeInfoItem_->setEnabled(false);
    // The account row leads to the account page, where the user signs in or out.
    accountInfoItem_ = menu_.addAction(QStringLiteral("账户：—"), this,
                                       [this] { openSettings(QStringLiteral("backend")); });
    accountInfoItem_->setVisible(false);
    menu_.addSeparator();

    enabledMenuItem_ = menu_.addAction(QStringLiteral("启用 Vellamor"), this, &MenuBarController::didToggleEnabled);
    enabledMenuItem_->setCheckable(true);
    enabledMenuItem_->setChecked(enabled_);
    menu_.addSeparator();

    microphoneMenu_ = new QMenu(QStringLiteral("麦克风"), &menu_);
    menu_.addMenu(microphoneMenu_);
    connect(microphoneMenu_, &QMenu::triggered, this, &MenuBarController::didSelectMicrophone);
    // Shortcuts on Ctrl; they work while the menu is open.
    menu_.addAction(QStringLiteral("开始录音"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R), this,
                    &MenuBarController::didToggleRecord);
    menu_.addAction(QStringLiteral("打开设置…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                    &MenuBarController::didOpenSettings);
    menu_.addSeparator();

    menu_.addAction(QStringLiteral("历史记录"), this, &MenuBarController::didShowHistory);
    menu_.addAction(QStringLiteral("词典"), this, &MenuBarController::didShowDictionary);
    menu_.addAction(QStringLiteral("诊断与日志"), this, &MenuBarController::didShowDiagnostics);
    menu_.addSeparator();

    menu_.addAction(QStringLiteral("帮助"), QKeySequence(Qt::CTRL | Qt::Key_Question), this,
                    &MenuBarController::didShowHelp);
    menu_.addAction(QStringLiteral("退出 Vellamor"), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                    &MenuBarController::didQuit);
}

void MenuBarController::updateStatus(const MenuBarStatus& status)
{
    if (connectionInfoItem_)
        connectionInfoItem_->setText(QStringLiteral("当前状态：") + status.connection);
    if (outputModeInfoItem_)
        outputModeInfoItem_->setText(QStringLiteral("输出模式：") + status.outputMode);
    if (accountInfoItem_) {
        accountInfoItem_->setVisible(status.account.has_value());
        if (status.account)
            accountInfoItem_->setText(QStringLiteral("账户：") + *status.account);
    }
}

void MenuBarController::updateIcon(MenuBarIconState state)
{
    currentIconState_ = state;
    if (!item_)
        return;
    // Every snapshot of a session asks again; drawing the icon and handing it
    // to the tray host is done only when it looks different.
    const DrawnIcon wanted{state, hasConnectedInputSource_};
    if (drawnIcon_ == wanted)
        return;
    drawnIcon_ = wanted;
    item_->setIcon(MenuBarIcon::icon(state, hasConnectedInputSource_));
    item_->setToolTip(MenuBarIcon::toolTip(state));
}

void MenuBarController::updateMicrophones(const QList<AudioInputDevice>& devices,
                                          const std::optional<QString>& selectedUID)
{
    if (!microphoneMenu_)
        return;
    microphoneMenu_->clear();
    QAction* systemDefault = microphoneMenu_->addAction(QStringLiteral("系统默认"));
    systemDefault->setData(AudioInputDevice::systemDefaultSentinel());
    systemDefault->setCheckable(true);
    systemDefault->setChecked(!selectedUID.has_value());
    if (devices.isEmpty()) {
        microphoneMenu_->addAction(QStringLiteral("未找到输入设备"))->setEnabled(false);
        return;
    }
    microphoneMenu_->addSeparator();
    for (const AudioInputDevice& device : devices) {
        QAction* entry =
            microphoneMenu_->addAction(device.isDefault ? device.name + QStringLiteral("（当前默认）") : device.name);
        entry->setData(device.uid);
        entry->setCheckable(true);
        entry->setChecked(selectedUID == device.uid);
    }
}

void MenuBarController::statusItemClicked(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    // The second click of a double click arrives as this instead of a trigger.
    case QSystemTrayIcon::DoubleClick:
        if (enabled_) {
            didToggleRecord();
            return;
        }
        openMenu();
        return;
    case QSystemTrayIcon::Context:
        // The desktop (or Qt for an embedded tray icon) shows the attached menu.
        return;
    case QSystemTrayIcon::MiddleClick:
        return;
    case QSystemTrayIcon::Unknown:
        openMenu();
        return;
    }
}

void MenuBarController::openMenu()
{
    // At the click that asked for it: an icon embedded in a tray reports the
    // place inside the tray, not on the screen.
    menu_.popup(QCursor::pos());
}

void MenuBarController::didToggleEnabled()
{
    enabled_ = !enabled_;
    if (enabledMenuItem_)
        enabledMenuItem_->setChecked(enabled_);
    if (auto callback = onToggleEnabled)
        callback(enabled_);
}

void MenuBarController::didToggleRecord()
{
    if (auto callback = onToggleRecord)
        callback();
}

void MenuBarController::didOpenSettings()
{
    openSettings(std::nullopt);
}

void MenuBarController::didShowHistory()
{
    if (auto callback = onShowHistory)
        callback();
    else
        openSettings(QStringLiteral("historyDict"));
}

void MenuBarController::didShowDictionary()
{
    if (auto callback = onShowDictionary)
        callback();
    else
        openSettings(QStringLiteral("historyDict"));
}

void MenuBarController::didShowDiagnostics()
{
    openSettings(QStringLiteral("diagnostics"));
}

void MenuBarController::didShowHelp()
{
    if (auto callback = onShowHelp)
        callback();
}

void MenuBarController::showHelpNotOpened(const QUrl& address)
{
    helpAlert_.show(address);
}

void MenuBarController::didQuit()
{
    if (auto callback = onQuit)
        callback();
    if (terminate_)
        terminate_();
}

void MenuBarController::didSelectMicrophone(QAction* entry)
{
    const QVariant data = entry->data();
    if (data.typeId() != QMetaType::QString)
        return;
    const QString uid = data.toString();
    if (auto callback = onSelectMicrophoneUID)
        callback(uid == AudioInputDevice::systemDefaultSentinel() ? std::nullopt : std::optional<QString>(uid));
}

void MenuBarController::openSettings(const std::optional<QString>& section)
{
    if (auto callback = onOpenSettings)
        callback(section);
}

} // namespace vellamor
