#include "Account/ModelAPI.h"
#include "Account/PreferencesAPI.h"
#include "Account/SystemAPI.h"
#include "Account/UsageAPI.h"
#include "Account/WalletAPI.h"

#include "Support/Async/RunBlocking.h"

#include "AccountTestSupport.h"
#include "DevAccountServices.h"
#include "ErrorOf.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vellamor;
using devbackend::DevAccountServices;
using vellamor::test::LiveServerTest;
using vellamor::test::RecordingUnauthorizedHandler;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();

using AccountServicesLive = LiveServerTest;

TEST_F(AccountServicesLive, EveryClientIsAnsweredByTheBackend)
{
    DevAccountServices* services = DevAccountServices::of(server);
    ASSERT_NE(services, nullptr);
    const auto token = std::make_shared<std::optional<QString>>(QStringLiteral("access-1"));
    const AccessTokenProvider tokens = test::tokensFrom(token);
    const std::shared_ptr<AuthedSession> session = makeSession();
    const auto handler = std::make_shared<RecordingUnauthorizedHandler>();
    services->plan.insert(QStringLiteral("monthly_points_grant"), kMax);
    services->wallet.remove(QStringLiteral("total"));
    const VellamorLog quiet(QStringLiteral("com.vellamor.app"), QStringLiteral("account"), systemLog, nullptr);

    UsageAPI usage(server.baseURL(), session, tokens, handler, quiet);
    const UsageAggregate month = runBlocking(usage.fetchUsage(QStringLiteral("month")));
    EXPECT_EQ(month.period, QStringLiteral("month"));
    EXPECT_EQ(month.audioSeconds, 1260);
    EXPECT_EQ(month.periodEnd.secondsSince1970() - month.periodStart.secondsSince1970(), 30 * 86400);
    const PlanInfo plan = runBlocking(usage.fetchPlan());
    EXPECT_EQ(plan.monthlyPointsGrant, kMax);
    EXPECT_EQ(plan.usedAudioSec(), 3600 - 2340);

    WalletAPI wallet(server.baseURL(), session, tokens, handler, quiet);
    EXPECT_EQ(runBlocking(wallet.fetchWallet()), (WalletInfo{500, 250, 750, std::nullopt, 1, 10}));

    ModelAPI models(server.baseURL(), session, tokens);
    EXPECT_EQ(runBlocking(models.listLLMModels()),
        (QList<LLMModelOption> { { QStringLiteral("standard"), QStringLiteral("dev-llm-1"), true },
            { QStringLiteral("fast"), std::nullopt, false } }));

    PreferencesAPI preferences(server.baseURL(), session, tokens, handler);
    PreferencesUpdateRequest change;
    change.historySync = true;
    change.sceneOverrides = QMap<QString, QString> { { QStringLiteral("emailReply"), QStringLiteral("formal") } };
    EXPECT_TRUE(runBlocking(preferences.updatePreferences(change)).historySync);
    const PreferencesView stored = runBlocking(preferences.getPreferences());
    EXPECT_TRUE(stored.historySync);
    EXPECT_EQ(stored.sceneOverrides, change.sceneOverrides);
    EXPECT_EQ(stored.defaultScene, QStringLiteral("chat"));

    SystemAPI system(server.baseURL(), session);
    EXPECT_TRUE(runBlocking(system.ping()).pong);
    EXPECT_EQ(runBlocking(system.config()).region, QStringLiteral("dev"));
    EXPECT_TRUE(handler->reasons.isEmpty());

    // without a token the model list is refused in the body, and nobody is told
    *token = std::nullopt;
    EXPECT_EQ(test::errorOf<VellamorServiceError>(models.listLLMModels()),
        VellamorServiceError(40100, QStringLiteral("unauthorized")));
}

} // namespace
