#include "Account/UsageAPI.h"

#include "Models/VellamorAction.h"
#include "Support/Json/JsonWriter.h"

#include <QJsonObject>

#include <utility>

namespace vellamor {

UsageAPI::UsageAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                   std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, VellamorLog log, QObject* parent)
    : QObject(parent)
    , bearer_{std::move(baseURL), std::move(session), std::move(tokenProvider), std::move(unauthorizedHandler),
              requestTimeout}
    , log_(std::move(log))
{
}

VellamorLog UsageAPI::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("usage-api"));
}

QCoro::Task<UsageAggregate> UsageAPI::fetchUsage(QString period)
{
    const QString sent = period.isEmpty() ? QStringLiteral("week") : period;
    return UsageActionCall::fetch<UsageAggregate>(call(VellamorAction::usageMe),
                                                  AnyEncodable(JsonWriter().insert(u"period", sent).object()));
}

QCoro::Task<PlanInfo> UsageAPI::fetchPlan()
{
    return UsageActionCall::fetch<PlanInfo>(call(VellamorAction::planGet), AnyEncodable(QJsonObject()));
}

UsageActionCall UsageAPI::call(QString action) const
{
    return UsageActionCall{bearer_, log_, std::move(action), true};
}

} // namespace vellamor
