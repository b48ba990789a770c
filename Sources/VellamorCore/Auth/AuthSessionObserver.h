#pragma once

#include "Auth/AuthState.h"
#include "Models/AuthAPIError.h"
#include "Support/Async/Published.h"

#include <QObject>

#include <optional>

namespace vellamor {

class AuthSession;

// The main-thread face of the authentication session: the state as last
// broadcast and the error that ended the last session (a failed restore, an
// unauthorised reply, a failed keyring write or cleanup), with the rules of
// published fields:
// - a new subscriber receives the current value at once;
// - every assignment, equal or not, is delivered synchronously to each
//   subscriber before the field holds it;
// - the session assigns the state first and the error second in one turn,
//   so a state subscriber reading lastBootstrapError() still sees the old
//   error (subscribe queued to see both new values);
// - objectWillChange() is emitted before each assignment of either field.
// Only the session writes it. Main thread only.
class AuthSessionObserver final : public QObject {
    Q_OBJECT
public:
    explicit AuthSessionObserver(QObject* parent = nullptr);

    const AuthState& state() const { return state_.value(); }
    const std::optional<AuthAPIError>& lastBootstrapError() const { return lastBootstrapError_.value(); }

    [[nodiscard]] Subscription subscribeState(Published<AuthState>::Callback callback);
    [[nodiscard]] Subscription subscribeLastBootstrapError(
        Published<std::optional<AuthAPIError>>::Callback callback);
    // As above, each value arriving on a later turn of `context`'s event loop.
    [[nodiscard]] Subscription subscribeStateQueued(QObject* context, Published<AuthState>::Callback callback);
    [[nodiscard]] Subscription subscribeLastBootstrapErrorQueued(
        QObject* context, Published<std::optional<AuthAPIError>>::Callback callback);

Q_SIGNALS:
    void objectWillChange();

private:
    friend class AuthSession;
    void setState(AuthState state);
    void setLastBootstrapError(std::optional<AuthAPIError> error);

    Published<AuthState> state_{AuthState::unauthenticated()};
    Published<std::optional<AuthAPIError>> lastBootstrapError_{std::nullopt};
};

} // namespace vellamor
