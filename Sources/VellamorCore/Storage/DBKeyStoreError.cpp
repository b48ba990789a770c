#include "Storage/DBKeyStoreError.h"

#include <array>

namespace vellamor {

QString DBKeyStoreError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（DBKeyStoreError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString DBKeyStoreError::debugDescription() const
{
    static constexpr std::array names {"randomFailed", "readFailed", "writeFailed"};
    return QLatin1StringView(names.at(static_cast<std::size_t>(kind_))) + QLatin1Char('(') + QString::number(status_)
        + QLatin1Char(')');
}

} // namespace vellamor
