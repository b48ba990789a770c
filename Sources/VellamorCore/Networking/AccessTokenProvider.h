#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <optional>

namespace vellamor {

// Gives the current access token, or none when nobody is signed in. Asked
// anew for every call; the token is never kept by the client.
using AccessTokenProvider = std::function<QCoro::Task<std::optional<QString>>()>;

} // namespace vellamor
