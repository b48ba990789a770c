#pragma once

#include "Models/AuthMe.h"

#include <QString>

#include <optional>

namespace vellamor {

// Signed in as a user, or nobody signed in. Equal by value (the whole user).
class AuthState {
public:
    // unauthenticated.
    AuthState() = default;

    static AuthState authenticated(AuthMe me) { return AuthState(std::move(me)); }
    static AuthState unauthenticated() { return AuthState(); }

    bool isAuthenticated() const { return me_.has_value(); }
    // The user of `authenticated`, else none.
    const std::optional<AuthMe>& me() const { return me_; }

    // `authenticated(userId: 7)` or `unauthenticated`.
    QString debugDescription() const;

    friend bool operator==(const AuthState&, const AuthState&) = default;

private:
    explicit AuthState(AuthMe me) : me_(std::move(me)) {}

    std::optional<AuthMe> me_;
};

} // namespace vellamor
