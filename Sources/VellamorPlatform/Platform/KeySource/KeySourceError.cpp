#include "Platform/KeySource/KeySourceError.h"

namespace vellamor::platform {

namespace {
QString kindName(KeySourceError::Kind kind)
{
    switch (kind) {
    case KeySourceError::Kind::displayUnavailable:
        return QStringLiteral("displayUnavailable");
    case KeySourceError::Kind::observationUnavailable:
        return QStringLiteral("observationUnavailable");
    case KeySourceError::Kind::keyUnavailable:
        return QStringLiteral("keyUnavailable");
    case KeySourceError::Kind::grabRefused:
        return QStringLiteral("grabRefused");
    }
    return {};
}
} // namespace

QString KeySourceError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（KeySourceError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString KeySourceError::debugDescription() const
{
    return kindName(kind_) + QLatin1Char('(') + detail_ + QLatin1Char(')');
}

} // namespace vellamor::platform
