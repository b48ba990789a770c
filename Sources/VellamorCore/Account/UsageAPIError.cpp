#include "Account/UsageAPIError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

UsageAPIError::UsageAPIError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

UsageAPIError UsageAPIError::business(qint64 code, QString message)
{
    return UsageAPIError(Kind::business, code, std::move(message));
}

UsageAPIError UsageAPIError::quotaExhausted(QString message)
{
    return UsageAPIError(Kind::quotaExhausted, 0, std::move(message));
}

UsageAPIError UsageAPIError::transport(QString detail)
{
    return UsageAPIError(Kind::transport, 0, std::move(detail));
}

UsageAPIError UsageAPIError::decodingFailed(QString detail)
{
    return UsageAPIError(Kind::decodingFailed, 0, std::move(detail));
}

UsageAPIError UsageAPIError::missingToken()
{
    return UsageAPIError(Kind::missingToken, 0, {});
}

UsageAPIError UsageAPIError::unauthorized()
{
    return UsageAPIError(Kind::unauthorized, 0, {});
}

UsageAPIError UsageAPIError::encodingFailed()
{
    return UsageAPIError(Kind::encodingFailed, 0, {});
}

QString UsageAPIError::errorDescription() const
{
    switch (kind_) {
    case Kind::business:
        return QStringLiteral("业务错误 ") + QString::number(code_) + QStringLiteral("：") + message_;
    case Kind::quotaExhausted:
        return QStringLiteral("当前额度已用完：") + message_;
    case Kind::transport:
        return QStringLiteral("网络错误：") + message_;
    case Kind::decodingFailed:
        return QStringLiteral("响应解析失败：") + message_;
    case Kind::missingToken:
        return QStringLiteral("未登录账号");
    case Kind::unauthorized:
        return QStringLiteral("登录已过期，请重新登录");
    case Kind::encodingFailed:
        return QStringLiteral("请求编码失败");
    }
    return {};
}

QString UsageAPIError::debugDescription() const
{
    switch (kind_) {
    case Kind::business:
        return QStringLiteral("business(code: ") + QString::number(code_) + QStringLiteral(", message: ")
            + debugQuoted(message_) + QLatin1Char(')');
    case Kind::quotaExhausted:
        return QStringLiteral("quotaExhausted(") + debugQuoted(message_) + QLatin1Char(')');
    case Kind::transport:
        return QStringLiteral("transport(") + debugQuoted(message_) + QLatin1Char(')');
    case Kind::decodingFailed:
        return QStringLiteral("decodingFailed(") + debugQuoted(message_) + QLatin1Char(')');
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    case Kind::encodingFailed:
        return QStringLiteral("encodingFailed");
    }
    return {};
}

} // namespace vellamor
