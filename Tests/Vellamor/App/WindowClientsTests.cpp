#include "FakeModelAPI.h"
#include "FakePreferencesAPI.h"

#include "App/WindowClients.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthedSession.h"
#include "Settings/AppConfig.h"

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

    const WindowServices services = withWindowClients(
        given, AppConfig::loadFromEnvironment(QHash<QString, QString>()), std::make_shared<AuthedSession>(), nullptr);
    EXPECT_EQ(services.models(), models);
    EXPECT_EQ(services.serverPreferences(), preferences);
    const std::shared_ptr<AuthAPIProtocol> first = services.authAPI();
    EXPECT_NE(dynamic_cast<AuthAPI*>(first.get()), nullptr);
    EXPECT_NE(services.authAPI(), first);
    EXPECT_TRUE(services.usage && services.wallet && services.inputSources && services.dataSync);
}

} // namespace
} // namespace vellamor::test
