#include "Hotkey/HotkeyError.h"

namespace vellamor {

QString HotkeyError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（HotkeyError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString HotkeyError::debugDescription() const
{
    return QStringLiteral("tapCreationFailed");
}

} // namespace vellamor
