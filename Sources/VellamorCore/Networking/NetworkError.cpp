#include "Networking/NetworkError.h"

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

QString NetworkError::errorDescription() const
{
    switch (kind_) {
    case Kind::timedOut:
        return QStringLiteral("no answer in time");
    case Kind::cannotConnect:
        return QStringLiteral("cannot connect to the server");
    case Kind::hostNotFound:
        return QStringLiteral("server name not found");
    case Kind::connectionLost:
        return QStringLiteral("connection lost before the answer was complete");
    case Kind::secureConnectionFailed:
        return QStringLiteral("secure connection failed");
    case Kind::tooManyRedirects:
        return QStringLiteral("too many redirects");
    case Kind::badURL:
        return QStringLiteral("this address cannot be requested");
    case Kind::other:
        return detail_.isEmpty() ? QStringLiteral("network failure") : detail_;
    }
    return {};
}

QString NetworkError::debugDescription() const
{
    if (detail_.isEmpty())
        return kindName(kind_);
    return kindName(kind_) + QStringLiteral("(\"") + detail_ + QStringLiteral("\")");
}

} // namespace vellamor
