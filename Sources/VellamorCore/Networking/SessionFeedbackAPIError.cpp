#include "Networking/SessionFeedbackAPIError.h"

#include <utility>

namespace vellamor {

SessionFeedbackAPIError::SessionFeedbackAPIError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

SessionFeedbackAPIError SessionFeedbackAPIError::network(QString detail)
{
    return SessionFeedbackAPIError(Kind::network, 0, std::move(detail));
}

SessionFeedbackAPIError SessionFeedbackAPIError::server(qint64 code, QString message)
{
    return SessionFeedbackAPIError(Kind::server, code, std::move(message));
}

QString SessionFeedbackAPIError::errorDescription() const
{
    switch (kind_) {
    case Kind::network:
        return QStringLiteral("网络异常：") + message_;
    case Kind::server:
        return QStringLiteral("服务异常 ") + QString::number(code_) + QStringLiteral("：") + message_;
    }
    return {};
}

QString SessionFeedbackAPIError::debugDescription() const
{
    switch (kind_) {
    case Kind::network:
        return QStringLiteral("network(\"") + message_ + QStringLiteral("\")");
    case Kind::server:
        return QStringLiteral("server(code: ") + QString::number(code_) + QStringLiteral(", message: \"") + message_
            + QStringLiteral("\")");
    }
    return {};
}

} // namespace vellamor
