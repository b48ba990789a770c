#include "DataSync/DataSyncError.h"

namespace vellamor {

QString DataSyncError::errorDescription() const
{
    switch (kind()) {
    case Kind::invalidInput:
        return message();
    case Kind::notFound:
        return QStringLiteral("记录不存在");
    default:
        return BusinessOrTransportError::errorDescription();
    }
}

QString DataSyncError::debugDescription() const
{
    switch (kind()) {
    case Kind::invalidInput:
        return QStringLiteral("invalidInput(") + quotedMessage() + QLatin1Char(')');
    case Kind::notFound:
        return QStringLiteral("notFound");
    default:
        return BusinessOrTransportError::debugDescription();
    }
}

} // namespace vellamor
