#include "Auth/KeychainFailure.h"
#include "Auth/KeychainStatus.h"
#include "Auth/KeychainStore.h"
#include "Support/Async/RunBlocking.h"

#include "AuthTestPrinters.h"
#include "InMemorySecureItemStore.h"

#include <gtest/gtest.h>

using namespace vellamor;
using vellamor::test::InMemorySecureItemStore;
using Variant = SecureItemStore::Variant;

namespace {

const QString current = QStringLiteral("com.vellamor.app.auth");
const QString legacy = QStringLiteral("com.vellamor.mac.dev.auth");
const QString account = QStringLiteral("session");

QString call(const char* operation, Variant variant, const QString& service)
{
    return QString::fromLatin1(operation) + QLatin1Char(' ') + InMemorySecureItemStore::variantName(variant)
        + QLatin1Char(' ') + service + QStringLiteral("/session");
}

class KeychainStoreTest : public ::testing::Test {
protected:
    std::shared_ptr<InMemorySecureItemStore> items = std::make_shared<InMemorySecureItemStore>();
    KeychainStore store{items, current, account};

    const AuthTokens tokens{QStringLiteral("at-1"), QStringLiteral("rt-1"), Date::fromUnixSeconds(1'800'000'000)};
    const AuthMe me{7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
                    std::nullopt};

    QByteArray document() const { return KeychainStore::encodeDocument(tokens, me); }
};

TEST_F(KeychainStoreTest, DefaultServiceIsTheBundleIdentifierWithAuthSuffix)
{
    EXPECT_EQ(KeychainStore::defaultService(), QStringLiteral("com.vellamor.app.auth"));
    EXPECT_EQ(KeychainStore::defaultService(QStringLiteral("org.example")), QStringLiteral("org.example.auth"));
    EXPECT_EQ(KeychainStore::defaultService(std::nullopt), QStringLiteral("com.quorvex.vellamor.mac.auth"));
    EXPECT_EQ(KeychainStore::defaultService(QString()), QStringLiteral("com.quorvex.vellamor.mac.auth"));
}

TEST_F(KeychainStoreTest, EmptyKeyringLoadsNothingAfterLookingEverywhereInOrder)
{
    EXPECT_FALSE(runBlocking(store.loadTokens()).has_value());
    EXPECT_EQ(items->calls(), (QStringList{call("read", Variant::dataProtection, current),
                                           call("read", Variant::file, current),
                                           call("read", Variant::dataProtection, legacy),
                                           call("read", Variant::file, legacy)}));
    EXPECT_FALSE(runBlocking(store.loadMe()).has_value());
}

TEST_F(KeychainStoreTest, SaveWritesTheDataProtectionItemThenRemovesTheFileCopy)
{
    items->put(current, account, "stale", Variant::file);
    runBlocking(store.saveTokens(tokens, me));
    EXPECT_EQ(items->calls(), (QStringList{call("write", Variant::dataProtection, current),
                                           call("remove", Variant::file, current)}));
    EXPECT_FALSE(items->item(current, account, Variant::file).has_value());
    EXPECT_EQ(runBlocking(store.loadTokens()), tokens);
    EXPECT_EQ(runBlocking(store.loadMe()), me);
}

TEST_F(KeychainStoreTest, SavingWithoutUserStoresNoMeAndDropsSubSecondParts)
{
    const AuthTokens precise{QStringLiteral("a"), QStringLiteral("r"), Date(1'800'000'000.875)};
    runBlocking(store.saveTokens(precise, std::nullopt));
    EXPECT_FALSE(runBlocking(store.loadMe()).has_value());
    const auto loaded = runBlocking(store.loadTokens());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->expiresAt, Date(1'800'000'000));
    EXPECT_EQ(loaded->accessToken, QStringLiteral("a"));
}

TEST_F(KeychainStoreTest, ItemOnlyInTheFileStoreIsReadWhereItIs)
{
    items->put(current, account, document(), Variant::file);
    EXPECT_EQ(runBlocking(store.loadTokens()), tokens);
    EXPECT_EQ(items->calls(), (QStringList{call("read", Variant::dataProtection, current),
                                           call("read", Variant::file, current)}));
    EXPECT_TRUE(items->item(current, account, Variant::file).has_value());
    EXPECT_FALSE(items->item(current, account, Variant::dataProtection).has_value());
}

TEST_F(KeychainStoreTest, LegacyItemIsMigratedOnFirstLoad)
{
    for (const Variant legacyVariant : {Variant::dataProtection, Variant::file}) {
        SCOPED_TRACE(InMemorySecureItemStore::variantName(legacyVariant).toStdString());
        auto fresh = std::make_shared<InMemorySecureItemStore>();
        KeychainStore migrating(fresh, current, account);
        fresh->put(legacy, account, document(), legacyVariant);

        EXPECT_EQ(runBlocking(migrating.loadTokens()), tokens);
        const QStringList migration{call("write", Variant::dataProtection, current),
                                    call("remove", Variant::file, current),
                                    call("remove", Variant::dataProtection, legacy),
                                    call("remove", Variant::file, legacy)};
        EXPECT_EQ(fresh->calls().mid(fresh->calls().size() - migration.size()), migration);
        EXPECT_EQ(fresh->itemCount(), 1);
        EXPECT_EQ(fresh->item(current, account, Variant::dataProtection), document());

        fresh->clearCalls();
        EXPECT_EQ(runBlocking(migrating.loadMe()), me);
        EXPECT_EQ(fresh->calls(), QStringList{call("read", Variant::dataProtection, current)});
    }
}

TEST_F(KeychainStoreTest, FailedMigrationStillReturnsTheLegacyItemAndKeepsIt)
{
    items->put(legacy, account, document(), Variant::dataProtection);
    items->setWriteStatus(Variant::dataProtection, KeychainStatus::authFailed);
    items->setWriteStatus(Variant::file, KeychainStatus::notAvailable);
    EXPECT_EQ(runBlocking(store.loadTokens()), tokens);
    EXPECT_TRUE(items->item(legacy, account, Variant::dataProtection).has_value());
    EXPECT_FALSE(items->calls().contains(call("remove", Variant::dataProtection, legacy)));
}

TEST_F(KeychainStoreTest, NoLegacyLookupWhenTheCurrentServiceIsTheLegacyName)
{
    KeychainStore legacyNamed(items, legacy, account);
    EXPECT_FALSE(runBlocking(legacyNamed.loadTokens()).has_value());
    EXPECT_EQ(items->calls(), (QStringList{call("read", Variant::dataProtection, legacy),
                                           call("read", Variant::file, legacy)}));
}

TEST_F(KeychainStoreTest, UndecodableDocumentLoadsAsNothing)
{
    items->put(current, account,
               R"({"tokens":{"accessToken":"a","refreshToken":"r","expiresAt":"2025-03-01T08:00:00.123Z"}})",
               Variant::dataProtection);
    EXPECT_FALSE(runBlocking(store.loadTokens()).has_value());
}

TEST_F(KeychainStoreTest, FallsBackToTheFileStoreWhenTheDataProtectionWriteFails)
{
    items->put(current, account, "old", Variant::dataProtection);
    items->setWriteStatus(Variant::dataProtection, KeychainStatus::authFailed);
    runBlocking(store.saveTokens(tokens, me));
    EXPECT_EQ(items->calls(), (QStringList{call("write", Variant::dataProtection, current),
                                           call("write", Variant::file, current),
                                           call("remove", Variant::dataProtection, current)}));
    EXPECT_EQ(items->item(current, account, Variant::file), document());
    EXPECT_FALSE(items->item(current, account, Variant::dataProtection).has_value());
    EXPECT_EQ(runBlocking(store.loadTokens()), tokens);
}

TEST_F(KeychainStoreTest, FailedSaveReportsTheFirstStatusAndKeepsTheStoredSession)
{
    const QByteArray previous = KeychainStore::encodeDocument(
        AuthTokens{QStringLiteral("at-0"), QStringLiteral("rt-0"), Date::fromUnixSeconds(1'790'000'000)}, std::nullopt);
    items->put(current, account, previous, Variant::dataProtection);
    items->setWriteStatus(Variant::dataProtection, -25293);
    items->setWriteStatus(Variant::file, -34018);
    try {
        runBlocking(store.saveTokens(tokens, me));
        ADD_FAILURE() << "save succeeded";
    } catch (const KeychainFailure& failure) {
        EXPECT_EQ(failure.status(), -25293);
    }
    EXPECT_FALSE(items->calls().contains(call("remove", Variant::dataProtection, current)));
    EXPECT_FALSE(items->calls().contains(call("remove", Variant::file, current)));
    EXPECT_EQ(items->item(current, account, Variant::dataProtection), previous);
}

struct DeleteCase {
    const char* name;
    qint32 dataProtectionStatus;
    qint32 fileStatus;
    bool seeded;
    qint32 expected;
};

TEST_F(KeychainStoreTest, DeleteTriesBothStoresAndReportsTheFirstFailure)
{
    const DeleteCase cases[] = {
        {"empty keyring", 0, 0, false, 0},
        {"stored item", 0, 0, true, 0},
        {"data-protection delete fails", -25293, 0, true, -25293},
        {"file delete fails", 0, -25244, true, -25244},
        {"both fail", -25293, -25244, true, -25293},
        {"not-found statuses", KeychainStatus::itemNotFound, KeychainStatus::itemNotFound, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = std::make_shared<InMemorySecureItemStore>();
        KeychainStore deleting(fresh, current, account);
        if (c.seeded)
            fresh->put(current, account, document(), Variant::dataProtection);
        fresh->put(legacy, account, document(), Variant::dataProtection);
        fresh->setRemoveStatus(Variant::dataProtection, c.dataProtectionStatus);
        fresh->setRemoveStatus(Variant::file, c.fileStatus);
        EXPECT_EQ(runBlocking(deleting.deleteTokens()), c.expected);
        EXPECT_EQ(fresh->calls(), (QStringList{call("remove", Variant::dataProtection, current),
                                               call("remove", Variant::file, current)}));
        EXPECT_TRUE(fresh->item(legacy, account, Variant::dataProtection).has_value());
    }
}

} // namespace
