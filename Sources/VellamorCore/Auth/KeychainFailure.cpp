#include "Auth/KeychainFailure.h"

namespace vellamor {

QString KeychainFailure::errorDescription() const
{
    return QStringLiteral("未能完成操作。（KeychainFailure 错误 0。）");
}

QString KeychainFailure::debugDescription() const
{
    return QStringLiteral("writeFailed(") + QString::number(status_) + QLatin1Char(')');
}

} // namespace vellamor
