#include "InputSources/InputSourceAPIError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

InputSourceAPIError::InputSourceAPIError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

InputSourceAPIError InputSourceAPIError::business(qint64 code, QString message)
{
    return InputSourceAPIError(Kind::business, code, std::move(message));
}

InputSourceAPIError InputSourceAPIError::transport(QString detail)
{
    return InputSourceAPIError(Kind::transport, 0, std::move(detail));
}

InputSourceAPIError InputSourceAPIError::decodingFailed(QString detail)
{
    return InputSourceAPIError(Kind::decodingFailed, 0, std::move(detail));
}

InputSourceAPIError InputSourceAPIError::missingToken()
{
    return InputSourceAPIError(Kind::missingToken, 0, {});
}

InputSourceAPIError InputSourceAPIError::unauthorized()
{
    return InputSourceAPIError(Kind::unauthorized, 0, {});
}

InputSourceAPIError InputSourceAPIError::encodingFailed()
{
    return InputSourceAPIError(Kind::encodingFailed, 0, {});
}

QString InputSourceAPIError::errorDescription() const
{
    switch (kind_) {
    case Kind::business:
        return QStringLiteral("业务错误 ") + QString::number(code_) + QStringLiteral("：") + message_;
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

QString InputSourceAPIError::debugDescription() const
{
    switch (kind_) {
    case Kind::business:
        return QStringLiteral("business(code: ") + QString::number(code_) + QStringLiteral(", message: ")
            + debugQuoted(message_) + QLatin1Char(')');
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
