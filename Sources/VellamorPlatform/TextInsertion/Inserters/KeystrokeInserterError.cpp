#include "TextInsertion/Inserters/KeystrokeInserterError.h"

namespace vellamor {

QString KeystrokeInserterError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（KeystrokeInserterError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString KeystrokeInserterError::debugDescription() const
{
    if (kind_ == Kind::sourceUnavailable)
        return QStringLiteral("sourceUnavailable");
    return QStringLiteral("buildFailed(posted=") + QString::number(charactersPosted_) + QLatin1Char(')');
}

} // namespace vellamor
