#pragma once

#include "Account/PlanInfo.h"
#include "Account/UsageAggregate.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace vellamor {

class UsageAPIProtocol {
public:
    virtual ~UsageAPIProtocol() = default;
    virtual QCoro::Task<UsageAggregate> fetchUsage(QString period) = 0;
    virtual QCoro::Task<PlanInfo> fetchPlan() = 0;
};

} // namespace vellamor
