#pragma once

#include "Support/Async/Published.h"

#include <QWidget>

#include <exception>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;

namespace vellamor {

class LaunchAtLogin;
class SettingsStoreObservable;
class ToggleSwitch;

// The general section: the language, automatic polishing, and opening the
// application at login. The login item is the desktop's state, read again
// each time the page comes on screen.
class GeneralPage : public QWidget {
    Q_OBJECT

public:
    GeneralPage(SettingsStoreObservable& obs, std::shared_ptr<LaunchAtLogin> launchAtLogin, QWidget* parent = nullptr);

    static QString notAdoptedMessage();
    // The message shown for a failed change of the login item.
    static QString describe(std::exception_ptr error);

    QComboBox& languagePicker() { return *languagePicker_; }
    ToggleSwitch& polishSwitch() { return *polishSwitch_; }
    ToggleSwitch& launchSwitch() { return *launchSwitch_; }
    // The message under the launch switch; none while hidden.
    std::optional<QString> launchErrorMessage() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyLaunchAtLogin(bool enabled);
    void showLaunchError(const std::optional<QString>& message);
    bool launchItemEnabled() const;

    std::shared_ptr<LaunchAtLogin> launchAtLogin_;
    QComboBox* languagePicker_;
    ToggleSwitch* polishSwitch_;
    ToggleSwitch* launchSwitch_;
    QWidget* launchError_;
    QLabel* launchErrorText_;
    Subscription languageSubscription_;
    Subscription polishSubscription_;
};

} // namespace vellamor
