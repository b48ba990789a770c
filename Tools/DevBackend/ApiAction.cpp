#include "ApiAction.h"

namespace vellamor::devbackend {

std::optional<QString> ApiCall::bearerToken() const
{
    const auto header = request.header("Authorization");
    if (!header || !header->startsWith("Bearer"))
        return std::nullopt;
    const QByteArray rest = header->mid(6);
    if (!rest.isEmpty() && !rest.startsWith(' '))
        return std::nullopt;
    return QString::fromUtf8(rest.mid(1));
}

} // namespace vellamor::devbackend
