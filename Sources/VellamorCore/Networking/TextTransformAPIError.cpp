#include "Networking/TextTransformAPIError.h"

#include <utility>

namespace vellamor {

TextTransformAPIError::TextTransformAPIError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

TextTransformAPIError TextTransformAPIError::network(QString detail)
{
    return TextTransformAPIError(Kind::network, 0, std::move(detail));
}

TextTransformAPIError TextTransformAPIError::server(qint64 code, QString message)
{
    return TextTransformAPIError(Kind::server, code, std::move(message));
}

TextTransformAPIError TextTransformAPIError::quotaExhausted(QString message)
{
    return TextTransformAPIError(Kind::quotaExhausted, 0, std::move(message));
}

TextTransformAPIError TextTransformAPIError::pointsBalanceExhausted()
{
    return TextTransformAPIError(Kind::pointsBalanceExhausted, 0, {});
}

QString TextTransformAPIError::errorDescription() const
{
    switch (kind_) {
    case Kind::network:
        return QStringLiteral("网络异常：") + message_;
    case Kind::server:
        return QStringLiteral("服务异常 ") + QString::number(code_) + QStringLiteral("：") + message_;
    case Kind::quotaExhausted:
        return QStringLiteral("当前额度已用完：") + message_;
    case Kind::pointsBalanceExhausted:
        return QStringLiteral("积分余额不足，请升级或购买积分包");
    }
    return {};
}

QString TextTransformAPIError::debugDescription() const
{
    switch (kind_) {
    case Kind::network:
        return QStringLiteral("network(\"") + message_ + QStringLiteral("\")");
    case Kind::server:
        return QStringLiteral("server(code: ") + QString::number(code_) + QStringLiteral(", message: \"") + message_
            + QStringLiteral("\")");
    case Kind::quotaExhausted:
        return QStringLiteral("quotaExhausted(\"") + message_ + QStringLiteral("\")");
    case Kind::pointsBalanceExhausted:
        return QStringLiteral("pointsBalanceExhausted");
    }
    return {};
}

} // namespace vellamor
