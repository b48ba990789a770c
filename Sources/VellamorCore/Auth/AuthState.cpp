#include "Auth/AuthState.h"

namespace vellamor {

QString AuthState::debugDescription() const
{
    if (!me_)
        return QStringLiteral("unauthenticated");
    return QStringLiteral("authenticated(userId: ") + QString::number(me_->userId) + QLatin1Char(')');
}

} // namespace vellamor
