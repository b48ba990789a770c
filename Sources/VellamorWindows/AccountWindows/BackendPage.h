#pragma once

#include "AccountWindows/AccountServices.h"
#include "Auth/AuthState.h"
#include "Support/Async/Published.h"

#include <QWidget>

class QVBoxLayout;

namespace vellamor {

class AccountInfoSection;
class BackendDataStore;
class CardGroup;
struct WindowServices;

// The settings window's account section: the account card, and while
// someone is signed in the points balance, the account's details and the
// bound input sources. The points are fetched when the page comes up
// signed in and whenever the signed-in state is published anew, and
// forgotten on sign-out. Main thread only.
class BackendPage : public QWidget {
    Q_OBJECT

public:
    BackendPage(const AccountServices& account, const WindowServices& services, QWidget* parent = nullptr);
    ~BackendPage() override;

    BackendDataStore& dataStore() { return *dataStore_; }

    // A locale code as the user reads it: "zh-CN" is "中文", an unknown code
    // stays as written, nothing is "未设置".
    static QString formatLocale(const QString& locale);

private:
    // Header and cards for `state`.
    void render(const AuthState& state);

    BackendDataStore* dataStore_;
    QVBoxLayout* layout_;
    AuthState shown_;
    QWidget* header_ = nullptr;
    CardGroup* wallet_;
    CardGroup* details_;
    AccountInfoSection* info_;
    CardGroup* inputSources_;
    Subscription stateSubscription_;
};

} // namespace vellamor
