#include "Auth/AuthSession.h"
#include "Auth/KeychainStatus.h"
#include "Auth/KeychainStore.h"
#include "Auth/QtKeychainItemStore.h"
#include "Networking/AuthAPI.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include "AccountActions.h"
#include "AuthTestPrinters.h"
#include "LiveServerFixture.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QUuid>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using devbackend::AccountActions;
using vellamor::test::LiveServerTest;
using Variant = SecureItemStore::Variant;

namespace {

// The desktop keyring (Secret Service through QtKeychain), as the session of
// scripts/desktop-session provides it: a private bus with gnome-keyring
// unlocked. Each test uses a service name of its own and removes its item.
class DesktopKeyring : public LiveServerTest {
protected:
    void SetUp() override
    {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()
            || !bus.interface()->isServiceRegistered(u"org.freedesktop.secrets"_s).value())
            GTEST_SKIP() << "no Secret Service on the session bus (run inside scripts/desktop-session)";
        available = true;
        LiveServerTest::SetUp();
        accounts = AccountActions::install(server);
    }

    void TearDown() override
    {
        if (available)
            runBlocking(items->remove(service, u"session"_s, Variant::dataProtection));
    }

    std::shared_ptr<AuthSession> launch()
    {
        auto api = std::make_shared<AuthAPI>(server.baseURL(), makeSession());
        auto keychain = std::make_shared<KeychainStore>(items, service, u"session"_s);
        return std::make_shared<AuthSession>(
            api, keychain, VellamorLog(u"com.vellamor.app"_s, u"auth-session"_s, systemLog, nullptr), &Date::now,
            std::make_shared<UserDefaults>(test::testHome() + u"/keyring-defaults.ini"_s));
    }

    const QString service =
        u"com.vellamor.app.test-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces) + u".auth"_s;
    std::shared_ptr<QtKeychainItemStore> items = std::make_shared<QtKeychainItemStore>();
    std::shared_ptr<AccountActions> accounts;
    bool available = false;
};

TEST_F(DesktopKeyring, ItemsAreWrittenReplacedReadAndRemoved)
{
    const QString account = u"session"_s;
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)), std::nullopt);
    EXPECT_EQ(runBlocking(items->write(service, account, R"({"v":1})", Variant::dataProtection)),
              KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->write(service, account, R"({"v":"二"})", Variant::dataProtection)),
              KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)),
              QByteArray(R"({"v":"二"})"));
    // Another service or account is another item.
    EXPECT_EQ(runBlocking(items->read(service + u"x"_s, account, Variant::dataProtection)), std::nullopt);
    EXPECT_EQ(runBlocking(items->read(service, u"other"_s, Variant::dataProtection)), std::nullopt);

    // The file variant holds nothing on this desktop.
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::file)), std::nullopt);
    EXPECT_EQ(runBlocking(items->write(service, account, "x", Variant::file)), KeychainStatus::notAvailable);
    EXPECT_EQ(runBlocking(items->remove(service, account, Variant::file)), KeychainStatus::itemNotFound);

    EXPECT_EQ(runBlocking(items->remove(service, account, Variant::dataProtection)), KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)), std::nullopt);
    const qint32 again = runBlocking(items->remove(service, account, Variant::dataProtection));
    EXPECT_TRUE(again == KeychainStatus::success || again == KeychainStatus::itemNotFound) << again;
}

TEST_F(DesktopKeyring, SignedInSessionIsRestoredFromTheKeyringAfterARestart)
{
    const QString email = u"desk@x.io"_s;
    {
        const auto session = launch();
        AuthAPI codes(server.baseURL(), makeSession());
        runBlocking(codes.requestUnifiedCode(email));
        EXPECT_TRUE(runBlocking(session->loginWithUnifiedCode(email, accounts->lastCode(email).value_or(QString()))));
        ASSERT_TRUE(session->publisher()->state().isAuthenticated());
    }
    const auto stored = runBlocking(KeychainStore(items, service, u"session"_s).loadMe());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->email, email);

    const auto restarted = launch();
    runBlocking(restarted->bootstrap());
    ASSERT_TRUE(restarted->publisher()->state().isAuthenticated());
    EXPECT_EQ(restarted->publisher()->state().me()->email, email);
    EXPECT_FALSE(restarted->publisher()->lastBootstrapError().has_value());
    EXPECT_TRUE(runBlocking(restarted->currentAccessToken()).has_value());

    runBlocking(restarted->logout());
    EXPECT_FALSE(restarted->publisher()->lastBootstrapError().has_value());
    EXPECT_EQ(runBlocking(items->read(service, u"session"_s, Variant::dataProtection)), std::nullopt);

    const auto afterLogout = launch();
    runBlocking(afterLogout->bootstrap());
    EXPECT_FALSE(afterLogout->publisher()->state().isAuthenticated());
    EXPECT_FALSE(afterLogout->publisher()->lastBootstrapError().has_value());
}

} // namespace
