#include "DataSync/DataSyncError.h"

#include <utility>

namespace vellamor {

DataSyncError::DataSyncError(Kind kind, qint64 code, QString message)
    : kind_(kind)
    , code_(code)
    , message_(std::move(message))
{
}

DataSyncError DataSyncError::invalidInput(QString text)
{
    return DataSyncError(Kind::invalidInput, 0, std::move(text));
}

DataSyncError DataSyncError::business(qint64 code, QString message)
{
    return DataSyncError(Kind::business, code, std::move(message));
}

DataSyncError DataSyncError::transport(QString detail)
{
    return DataSyncError(Kind::transport, 0, std::move(detail));
}

DataSyncError DataSyncError::decodingFailed(QString detail)
{
    return DataSyncError(Kind::decodingFailed, 0, std::move(detail));
}

DataSyncError DataSyncError::missingToken()
{
    return DataSyncError(Kind::missingToken, 0, {});
}

DataSyncError DataSyncError::unauthorized()
{
    return DataSyncError(Kind::unauthorized, 0, {});
}

DataSyncError DataSyncError::notFound()
{
    return DataSyncError(Kind::notFound, 0, {});
}

DataSyncError DataSyncError::encodingFailed()
{
    return DataSyncError(Kind::encodingFailed, 0, {});
}

QString DataSyncError::errorDescription() const
{
    switch (kind_) {
    case Kind::invalidInput:
        return message_;
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
    case Kind::notFound:
        return QStringLiteral("记录不存在");
    case Kind::encodingFailed:
        return QStringLiteral("请求编码失败");
    }
    return {};
}

QString DataSyncError::debugDescription() const
{
    const auto quoted = [this](const char* name) -> QString {
        return QLatin1String(name) + QStringLiteral("(\"") + message_ + QStringLiteral("\")");
    };
    switch (kind_) {
    case Kind::invalidInput:
        return quoted("invalidInput");
    case Kind::business:
        return QStringLiteral("business(code: ") + QString::number(code_) + QStringLiteral(", message: \"") + message_
               + QStringLiteral("\")");
    case Kind::transport:
        return quoted("transport");
    case Kind::decodingFailed:
        return quoted("decodingFailed");
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    case Kind::notFound:
        return QStringLiteral("notFound");
    case Kind::encodingFailed:
        return QStringLiteral("encodingFailed");
    }
    return {};
}

} // namespace vellamor
