#pragma once

#include <memory>

namespace vellamor {

class AuthSession;
class AuthSheetPresenter;
class UserDefaults;

// What the account page needs of the application beyond the backend
// clients: the one session, the one sign-in sheet, and the defaults that
// hold the session's mark of a new registration.
struct AccountServices {
    std::shared_ptr<AuthSession> session;
    AuthSheetPresenter* signIn = nullptr;
    std::shared_ptr<UserDefaults> defaults;
};

} // namespace vellamor
