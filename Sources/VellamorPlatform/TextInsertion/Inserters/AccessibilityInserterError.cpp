#include "TextInsertion/Inserters/AccessibilityInserterError.h"

namespace vellamor {

QString AccessibilityInserterError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（AccessibilityInserterError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString AccessibilityInserterError::debugDescription() const
{
    switch (kind_) {
    case Kind::failed:
        return QStringLiteral("failed(") + QString::number(code_) + QLatin1Char(')');
    case Kind::notTrusted:
        return QStringLiteral("notTrusted");
    case Kind::noFocus:
        return QStringLiteral("noFocus");
    case Kind::notSupported:
        return QStringLiteral("notSupported");
    case Kind::notWritten:
        return QStringLiteral("notWritten");
    case Kind::selfReflective:
        return QStringLiteral("selfReflective");
    case Kind::changedUnexpectedly:
        return QStringLiteral("changedUnexpectedly");
    case Kind::unanswered:
        return QStringLiteral("unanswered");
    case Kind::unshown:
        return QStringLiteral("unshown");
    }
    return {};
}

} // namespace vellamor
