#include "Auth/AuthSessionObserver.h"

#include <utility>

namespace vellamor {

AuthSessionObserver::AuthSessionObserver(QObject* parent) : QObject(parent) {}

Subscription AuthSessionObserver::subscribeState(Published<AuthState>::Callback callback)
{
    return state_.subscribe(std::move(callback));
}

Subscription AuthSessionObserver::subscribeLastBootstrapError(
    Published<std::optional<AuthAPIError>>::Callback callback)
{
    return lastBootstrapError_.subscribe(std::move(callback));
}

Subscription AuthSessionObserver::subscribeStateQueued(QObject* context, Published<AuthState>::Callback callback)
{
    return state_.subscribeQueued(context, std::move(callback));
}

Subscription AuthSessionObserver::subscribeLastBootstrapErrorQueued(
    QObject* context, Published<std::optional<AuthAPIError>>::Callback callback)
{
    return lastBootstrapError_.subscribeQueued(context, std::move(callback));
}

void AuthSessionObserver::setState(AuthState state)
{
    Q_EMIT objectWillChange();
    state_.set(std::move(state));
}

void AuthSessionObserver::setLastBootstrapError(std::optional<AuthAPIError> error)
{
    Q_EMIT objectWillChange();
    lastBootstrapError_.set(std::move(error));
}

} // namespace vellamor
