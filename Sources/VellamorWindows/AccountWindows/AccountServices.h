#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace vellamor {

class AuthSession;
class AuthSheetPresenter;
class UserDefaults;

// What the account page needs of the application beyond the backend
// clients: the one session, the one sign-in sheet, the defaults that hold
// the session's mark of a new registration, and the service's word that
// the bound input sources changed.
struct AccountServices {
    // Calls `slot` each time the service reports the input sources changed,
    // until `receiver` is destroyed.
    using ChangeSubscriber = std::function<void(QObject* receiver, std::function<void()> slot)>;

    std::shared_ptr<AuthSession> session;
    AuthSheetPresenter* signIn = nullptr;
    std::shared_ptr<UserDefaults> defaults;
    ChangeSubscriber inputSourceListChanged;
};

} // namespace vellamor
