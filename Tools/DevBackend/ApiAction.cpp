#include "ApiAction.h"

namespace vellamor::devbackend {

std::optional<QString> ApiCall::bearerToken() const
{
    const auto header = request.header("Authorization");
    if (!header || !header->startsWith("Bearer"))
        return std::nullopt;
    const QByteArray rest = header->mid(6);
    if (rest.size() < 2 || !rest.startsWith(' '))
        return std::nullopt;
    return QString::fromUtf8(rest.mid(1));
}

std::optional<qint64> exactInteger(const QJsonValue& value)
{
    if (!value.isDouble() || value.toInteger(0) != value.toInteger(1))
        return std::nullopt;
    return value.toInteger();
}

} // namespace vellamor::devbackend
