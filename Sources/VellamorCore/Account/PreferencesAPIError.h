#pragma once

#include "Networking/NetworkOrServerError.h"

namespace vellamor {

// The failures of PreferencesAPI. The client's own network details: "未登录",
// "请求编码失败", "无效响应", "登录已过期", "HTTP <status>", "响应解析失败", "空响应".
class PreferencesAPIError final : public NetworkOrServerError<PreferencesAPIError> {
    friend class NetworkOrServerError<PreferencesAPIError>;
    using NetworkOrServerError::NetworkOrServerError;
};

} // namespace vellamor
