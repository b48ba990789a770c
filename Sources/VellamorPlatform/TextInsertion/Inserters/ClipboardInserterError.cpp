#include "TextInsertion/Inserters/ClipboardInserterError.h"

namespace vellamor {

QString ClipboardInserterError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（ClipboardInserterError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString ClipboardInserterError::debugDescription() const
{
    switch (kind_) {
    case Kind::pasteboardWriteFailed:
        return QStringLiteral("pasteboardWriteFailed");
    case Kind::eventSourceFailed:
        return QStringLiteral("eventSourceFailed");
    case Kind::eventBuildFailed:
        return QStringLiteral("eventBuildFailed");
    case Kind::notFetched:
        return QStringLiteral("notFetched");
    case Kind::unconfirmed:
        return QStringLiteral("unconfirmed");
    case Kind::displaced:
        return QStringLiteral("displaced");
    }
    return {};
}

} // namespace vellamor
