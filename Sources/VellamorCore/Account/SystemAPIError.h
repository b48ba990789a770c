#pragma once

#include "Networking/NetworkOrServerError.h"

namespace vellamor {

// The failures of SystemAPI. The client's own network details:
// "请求编码失败", "无效响应", "HTTP <status>", "响应解析失败", "空响应".
class SystemAPIError final : public NetworkOrServerError<SystemAPIError> {
    friend class NetworkOrServerError<SystemAPIError>;
    using NetworkOrServerError::NetworkOrServerError;
};

} // namespace vellamor
