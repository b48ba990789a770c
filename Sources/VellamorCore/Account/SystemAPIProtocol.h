#pragma once

#include "Account/SystemConfigResponse.h"
#include "Account/SystemPingResponse.h"

#include <QCoro/QCoroTask>

namespace vellamor {

class SystemAPIProtocol {
public:
    virtual ~SystemAPIProtocol() = default;
    virtual QCoro::Task<SystemPingResponse> ping() = 0;
    virtual QCoro::Task<SystemConfigResponse> config() = 0;
};

} // namespace vellamor
