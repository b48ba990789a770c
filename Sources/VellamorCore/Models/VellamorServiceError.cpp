#include "Models/VellamorServiceError.h"

#include <utility>

namespace vellamor {

VellamorServiceError::VellamorServiceError(qint64 code, QString message, std::optional<QMap<QString, QString>> data)
    : code_(code)
    , message_(std::move(message))
    , data_(std::move(data))
{
}

std::optional<VellamorErrorCode> VellamorServiceError::known() const
{
    return vellamorErrorCodeFromRawValue(code_);
}

QString VellamorServiceError::description() const
{
    return QStringLiteral("VellamorServiceError(code=") + QString::number(code_) + QStringLiteral(", msg=") + message_
        + QLatin1Char(')');
}

QString VellamorServiceError::errorDescription() const
{
    return description();
}

QString VellamorServiceError::debugDescription() const
{
    return description();
}

} // namespace vellamor
