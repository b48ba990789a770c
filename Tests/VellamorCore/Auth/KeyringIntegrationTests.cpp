#include "Auth/KeychainStatus.h"
#include "Auth/KeychainStore.h"
#include "Auth/QtKeychainItemStore.h"
#include "Support/Async/RunBlocking.h"

#include "AuthTestPrinters.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QUuid>

#include <gtest/gtest.h>

using namespace vellamor;
using Variant = SecureItemStore::Variant;

namespace {

// The desktop keyring (Secret Service through QtKeychain), as the session of
// scripts/desktop-session provides it: a private bus with gnome-keyring
// unlocked. The test uses a service name of its own and removes its item.
TEST(DesktopKeyring, ItemsAreWrittenReplacedReadAndRemovedAsTheSessionStoreExpects)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()
        || !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value())
        GTEST_SKIP() << "no Secret Service on the session bus (run inside scripts/desktop-session)";
    const auto items = std::make_shared<QtKeychainItemStore>();
    const QString service = QStringLiteral("com.vellamor.app.test-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".auth");
    const QString account = QStringLiteral("session");

    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)), std::nullopt);
    EXPECT_EQ(runBlocking(items->write(service, account, R"({"v":1})", Variant::dataProtection)),
              KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->write(service, account, R"({"v":"二"})", Variant::dataProtection)),
              KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)), QByteArray(R"({"v":"二"})"));
    // Another service or account is another item.
    EXPECT_EQ(runBlocking(items->read(service + QStringLiteral("x"), account, Variant::dataProtection)), std::nullopt);
    EXPECT_EQ(runBlocking(items->read(service, QStringLiteral("other"), Variant::dataProtection)), std::nullopt);

    // The file variant holds nothing on this desktop.
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::file)), std::nullopt);
    EXPECT_EQ(runBlocking(items->write(service, account, "x", Variant::file)), KeychainStatus::notAvailable);
    EXPECT_EQ(runBlocking(items->remove(service, account, Variant::file)), KeychainStatus::itemNotFound);

    EXPECT_EQ(runBlocking(items->remove(service, account, Variant::dataProtection)), KeychainStatus::success);
    EXPECT_EQ(runBlocking(items->read(service, account, Variant::dataProtection)), std::nullopt);

    // A stored session survives a new store object (a restart) and is deleted without a failure status.
    const AuthTokens tokens { QStringLiteral("at-1"), QStringLiteral("rt-1"), Date::fromUnixSeconds(1'800'000'000) };
    const AuthMe me { 7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
        std::nullopt };
    runBlocking(KeychainStore(items, service, account).saveTokens(tokens, me));
    const KeychainStore restarted(items, service, account);
    EXPECT_EQ(runBlocking(restarted.loadTokens()), tokens);
    EXPECT_EQ(runBlocking(restarted.loadMe()), me);
    EXPECT_EQ(runBlocking(restarted.deleteTokens()), KeychainStatus::success);
    EXPECT_EQ(runBlocking(restarted.loadTokens()), std::nullopt);
}

} // namespace
