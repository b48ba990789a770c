#pragma once

#include "Account/UsageAPIProtocol.h"
#include "Account/UsageActionCall.h"
#include "Logging/VellamorLog.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "usage.me" and "plan.get": one request per call with a 10 s
// time-out, failures as UsageActionCall lists them (42902 is a quota
// refusal here). No cache, no retry, no state between calls. Main thread only.
class UsageAPI final : public QObject, public UsageAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    UsageAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
             std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, VellamorLog log = defaultLog(),
             QObject* parent = nullptr);

    // Subsystem "com.vellamor.app", category "usage-api".
    static VellamorLog defaultLog();

    // An empty period asks for "week"; any other is sent as given, untrimmed.
    QCoro::Task<UsageAggregate> fetchUsage(QString period) override;
    QCoro::Task<PlanInfo> fetchPlan() override;

private:
    UsageActionCall call(QString action) const;

    BearerActionCall bearer_;
    VellamorLog log_;
};

} // namespace vellamor
