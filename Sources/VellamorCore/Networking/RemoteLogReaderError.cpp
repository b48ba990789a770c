#include "Networking/RemoteLogReaderError.h"

#include <utility>

namespace vellamor {

RemoteLogReaderError::RemoteLogReaderError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

RemoteLogReaderError RemoteLogReaderError::httpStatus(int status)
{
    return RemoteLogReaderError(Kind::httpStatus, status, {});
}

RemoteLogReaderError RemoteLogReaderError::businessError(qint64 code, QString message)
{
    return RemoteLogReaderError(Kind::businessError, code, std::move(message));
}

RemoteLogReaderError RemoteLogReaderError::missingToken()
{
    return RemoteLogReaderError(Kind::missingToken, 0, {});
}

RemoteLogReaderError RemoteLogReaderError::unauthorized()
{
    return RemoteLogReaderError(Kind::unauthorized, 0, {});
}

RemoteLogReaderError RemoteLogReaderError::invalidResponse()
{
    return RemoteLogReaderError(Kind::invalidResponse, 0, {});
}

QString RemoteLogReaderError::errorDescription() const
{
    switch (kind_) {
    case Kind::httpStatus:
        return QStringLiteral("HTTP 状态码 ") + QString::number(code_);
    case Kind::businessError:
        return QStringLiteral("业务错误 code=") + QString::number(code_) + QStringLiteral(" msg=") + message_;
    case Kind::missingToken:
        return QStringLiteral("未找到 admin token（~/.vellamor/admin-token）");
    case Kind::unauthorized:
        return QStringLiteral("admin token 不匹配（401）");
    case Kind::invalidResponse:
        return QStringLiteral("响应格式异常");
    }
    return {};
}

QString RemoteLogReaderError::debugDescription() const
{
    switch (kind_) {
    case Kind::httpStatus:
        return QStringLiteral("httpStatus(") + QString::number(code_) + QLatin1Char(')');
    case Kind::businessError:
        return QStringLiteral("businessError(code: ") + QString::number(code_) + QStringLiteral(", message: \"")
            + message_ + QStringLiteral("\")");
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    case Kind::invalidResponse:
        return QStringLiteral("invalidResponse");
    }
    return {};
}

} // namespace vellamor
