#include "Account/UsageAPIError.h"

namespace vellamor {

QString UsageAPIError::errorDescription() const
{
    if (kind() == Kind::quotaExhausted)
        return QStringLiteral("当前额度已用完：") + message();
    return BusinessOrTransportError::errorDescription();
}

QString UsageAPIError::debugDescription() const
{
    if (kind() == Kind::quotaExhausted)
        return QStringLiteral("quotaExhausted(") + quotedMessage() + QLatin1Char(')');
    return BusinessOrTransportError::debugDescription();
}

} // namespace vellamor
