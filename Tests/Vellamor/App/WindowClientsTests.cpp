#include "FakeModelAPI.h"
#include "FakePreferencesAPI.h"
#include "ScriptedHTTPSession.h"

#include "App/WindowClients.h"
#include "Networking/AuthAPI.h"
#include "Settings/AppConfig.h"
#include "Support/Async/RunBlocking.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

TEST(WindowClientsTest, KeepsTheGivenFactoriesAndBuildsAFreshRealClientForTheOthers)
{
    auto models = std::make_shared<FakeModelAPI>();
    auto preferences = std::make_shared<FakePreferencesAPI>();
    WindowServices given;
    given.models = [models] { return models; };
    given.serverPreferences = [preferences] { return preferences; };

    auto http = std::make_shared<ScriptedHTTPSession>();
    const WindowServices services =
        withWindowClients(given, AppConfig::loadFromEnvironment(QHash<QString, QString>()), http, nullptr);
    EXPECT_EQ(services.models(), models);
    EXPECT_EQ(services.serverPreferences(), preferences);
    const std::shared_ptr<AuthAPIProtocol> first = services.authAPI();
    EXPECT_NE(dynamic_cast<AuthAPI*>(first.get()), nullptr);
    EXPECT_NE(services.authAPI(), first);
    EXPECT_TRUE(services.usage && services.wallet && services.inputSources && services.dataSync);

    // The real clients go over the session they were given, not the process's.
    http->respond(500, {});
    EXPECT_ANY_THROW(runBlocking(first->requestLoginCode(QStringLiteral("someone@example.com"))));
    EXPECT_EQ(http->requests().size(), 1);
}

} // namespace
} // namespace vellamor::test
