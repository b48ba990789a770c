#include "Models/NetworkError.h"

#include <utility>

namespace vellamor {

NetworkError::NetworkError(Kind kind, QString detail) : kind_(kind), detail_(std::move(detail)) {}

QString NetworkError::kindName(Kind kind)
{
    switch (kind) {
    case Kind::timedOut:
        return QStringLiteral("timedOut");
    case Kind::cannotConnect:
        return QStringLiteral("cannotConnect");
    case Kind::hostNotFound:
        return QStringLiteral("hostNotFound");
    case Kind::connectionLost:
        return QStringLiteral("connectionLost");
    case Kind::secureConnectionFailed:
        return QStringLiteral("secureConnectionFailed");
    case Kind::tooManyRedirects:
        return QStringLiteral("tooManyRedirects");
    case Kind::badURL:
        return QStringLiteral("badURL");
    case Kind::other:
        return QStringLiteral("other");
    }
    return {};
}

// The user's language; what went wrong in English stays in the log
// (debugDescription).
QString NetworkError::errorDescription() const
{
    switch (kind_) {
    case Kind::connectionLost:
        return QStringLiteral("网络连接已断开，请检查网络后重试");
    case Kind::timedOut:
        return QStringLiteral("网络超时，请检查网络后重试");
    case Kind::cannotConnect:
    case Kind::hostNotFound:
    case Kind::secureConnectionFailed:
        return QStringLiteral("无法连接服务器，请检查网络后重试");
    case Kind::tooManyRedirects:
    case Kind::badURL:
    case Kind::other:
        break;
    }
    return QStringLiteral("网络异常，请稍后重试");
}

QString NetworkError::debugDescription() const
{
    if (detail_.isEmpty())
        return kindName(kind_);
    return kindName(kind_) + QStringLiteral("(\"") + detail_ + QStringLiteral("\")");
}

} // namespace vellamor
