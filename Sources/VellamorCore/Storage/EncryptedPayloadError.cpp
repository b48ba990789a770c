#include "Storage/EncryptedPayloadError.h"

namespace vellamor {

QString EncryptedPayloadError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（EncryptedPayloadError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString EncryptedPayloadError::debugDescription() const
{
    return kind_ == Kind::sealFailed ? QStringLiteral("sealFailed") : QStringLiteral("openFailed");
}

} // namespace vellamor
