#include "Models/VellamorTransportError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

VellamorTransportError::VellamorTransportError(Kind kind, QString detail, int status)
    : kind_(kind)
    , detail_(std::move(detail))
    , status_(status)
{
}

VellamorTransportError VellamorTransportError::decodingFailed(QString detail)
{
    return VellamorTransportError(Kind::decodingFailed, std::move(detail), 0);
}

VellamorTransportError VellamorTransportError::unexpectedStatus(int status)
{
    return VellamorTransportError(Kind::unexpectedStatus, {}, status);
}

VellamorTransportError VellamorTransportError::invalidURL()
{
    return VellamorTransportError(Kind::invalidURL, {}, 0);
}

VellamorTransportError VellamorTransportError::encodingFailed()
{
    return VellamorTransportError(Kind::encodingFailed, {}, 0);
}

VellamorTransportError VellamorTransportError::connectionClosed()
{
    return VellamorTransportError(Kind::connectionClosed, {}, 0);
}

VellamorTransportError VellamorTransportError::timeout()
{
    return VellamorTransportError(Kind::timeout, {}, 0);
}

VellamorTransportError VellamorTransportError::cancelled()
{
    return VellamorTransportError(Kind::cancelled, {}, 0);
}

QString VellamorTransportError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（VellamorTransportError 错误 ") + QString::number(caseIndex())
        + QStringLiteral("。）");
}

QString VellamorTransportError::debugDescription() const
{
    switch (kind_) {
    case Kind::decodingFailed:
        return QStringLiteral("decodingFailed(") + debugQuoted(detail_) + QLatin1Char(')');
    case Kind::unexpectedStatus:
        return QStringLiteral("unexpectedStatus(") + QString::number(status_) + QLatin1Char(')');
    case Kind::invalidURL:
        return QStringLiteral("invalidURL");
    case Kind::encodingFailed:
        return QStringLiteral("encodingFailed");
    case Kind::connectionClosed:
        return QStringLiteral("connectionClosed");
    case Kind::timeout:
        return QStringLiteral("timeout");
    case Kind::cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

} // namespace vellamor
