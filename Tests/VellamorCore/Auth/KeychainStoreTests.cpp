#include "Auth/KeychainFailure.h"
#include "Auth/KeychainStatus.h"
#include "Auth/KeychainStore.h"
#include "Support/Async/RunBlocking.h"

#include "AuthTestPrinters.h"
#include "InMemorySecureItemStore.h"

#include <QJsonDocument>
#include <QJsonObject>

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
    QJsonObject stored() const
    {
        return QJsonDocument::fromJson(items->item(current, account, Variant::dataProtection).value_or("")).object();
    }
};

TEST_F(KeychainStoreTest, EmptyKeyringLoadsNothingAfterLookingEverywhereInOrder)
{
    EXPECT_FALSE(runBlocking(store.loadTokens()).has_value());
    EXPECT_EQ(items->calls(), (QStringList{call("read", Variant::dataProtection, current),
                                           call("read", Variant::file, current),
                                           call("read", Variant::dataProtection, legacy),
                                           call("read", Variant::file, legacy)}));
}

struct SaveCase {
    const char* name;
    qint32 dataProtectionWrite;
    qint32 fileWrite;
    QStringList calls;
    std::optional<qint32> failure;
};

// A copy is removed only once the new one is written, so a failed save never
// loses the stored session.
TEST_F(KeychainStoreTest, SaveWritesBeforeItRemovesTheOtherCopy)
{
    const SaveCase cases[] = {
        {"data-protection store", 0, 0,
         {call("write", Variant::dataProtection, current), call("remove", Variant::file, current)}, std::nullopt},
        {"file store fallback", KeychainStatus::authFailed, 0,
         {call("write", Variant::dataProtection, current), call("write", Variant::file, current),
          call("remove", Variant::dataProtection, current)},
         std::nullopt},
        {"both fail", -25293, -34018,
         {call("write", Variant::dataProtection, current), call("write", Variant::file, current)}, -25293},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        items = std::make_shared<InMemorySecureItemStore>();
        KeychainStore saving(items, current, account);
        items->put(current, account, "previous", Variant::dataProtection);
        items->put(current, account, "previous", Variant::file);
        items->setWriteStatus(Variant::dataProtection, c.dataProtectionWrite);
        items->setWriteStatus(Variant::file, c.fileWrite);
        try {
            runBlocking(saving.saveTokens(tokens, me));
            EXPECT_FALSE(c.failure.has_value()) << "save succeeded";
        } catch (const KeychainFailure& failure) {
            EXPECT_EQ(failure.status(), c.failure);
        }
        EXPECT_EQ(items->calls(), c.calls);
        if (c.failure) {
            EXPECT_EQ(items->item(current, account, Variant::dataProtection), "previous");
            EXPECT_EQ(items->item(current, account, Variant::file), "previous");
        } else {
            EXPECT_EQ(items->itemCount(), 1);
            EXPECT_EQ(runBlocking(saving.loadTokens()), tokens);
        }
    }
}

TEST_F(KeychainStoreTest, StoredDocumentUsesCamelCaseKeysAndWholeSecondDates)
{
    AuthMe signedIn = me;
    signedIn.lastLoginAt = Date::fromUnixSeconds(1'700'000'100);
    const AuthTokens precise{tokens.accessToken, tokens.refreshToken, Date(1'800'000'000.875)};
    runBlocking(store.saveTokens(precise, signedIn));
    const QJsonObject expected = QJsonDocument::fromJson(R"({
        "tokens":{"accessToken":"at-1","refreshToken":"rt-1","expiresAt":"2027-01-15T08:00:00Z"},
        "me":{"userId":7,"email":"u@x.io","locale":"zh-CN","createdAt":"2023-11-14T22:13:20Z",
              "lastLoginAt":"2023-11-14T22:15:00Z"}})")
                                     .object();
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(runBlocking(store.loadTokens()), tokens);
    EXPECT_EQ(runBlocking(store.loadMe()), signedIn);

    // Without a user the document has no "me" at all.
    runBlocking(store.saveTokens(tokens, std::nullopt));
    EXPECT_EQ(stored().keys(), QStringList{QStringLiteral("tokens")});
    EXPECT_FALSE(runBlocking(store.loadMe()).has_value());
}

QByteArray expiringAt(const char* expiresAt)
{
    return QByteArray(R"({"tokens":{"accessToken":"a","refreshToken":"r","expiresAt":)") + expiresAt + "}}";
}

// A server may send any date the flexible decoder reads; the stored session
// must still read back, so the years beyond 0001-9999 are written clamped.
TEST_F(KeychainStoreTest, DatesBeyondTheFourDigitYearsAreStoredClampedAndReadBack)
{
    struct Case {
        const char* sent;
        const char* stored;
    };
    const Case cases[] = {
        {"0000-01-01T00:00:00+00:01", "0001-01-01T00:00:00Z"},
        {"0001-01-01T00:00:00Z", "0001-01-01T00:00:00Z"},
        {"9999-12-31T23:59:59Z", "9999-12-31T23:59:59Z"},
        {"9999-12-31T23:59:59-01:00", "9999-12-31T23:59:59Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        const Date sent = *Date::fromIso8601(QString::fromLatin1(c.sent));
        const AuthTokens odd{QStringLiteral("at"), QStringLiteral("rt"), sent};
        const AuthMe oddMe{7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), sent, sent};
        runBlocking(store.saveTokens(odd, oddMe));
        const Date stored = *Date::fromIso8601(QString::fromLatin1(c.stored));
        EXPECT_EQ(runBlocking(store.loadTokens())->expiresAt, stored);
        const std::optional<AuthMe> loaded = runBlocking(store.loadMe());
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->createdAt, stored);
        EXPECT_EQ(loaded->lastLoginAt, stored);
    }
}

TEST_F(KeychainStoreTest, UndecodableDocumentsLoadAsNothing)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"fraction of a second", expiringAt(R"("2025-03-01T08:00:00.5Z")")},
        {"no zone", expiringAt(R"("2025-03-01T08:00:00")")},
        {"snake_case keys",
         R"({"tokens":{"access_token":"a","refresh_token":"r","expires_at":"2025-03-01T08:00:00Z"}})"},
        {"incomplete user", R"({"tokens":{"accessToken":"a","refreshToken":"r","expiresAt":"2025-03-01T08:00:00Z"},
                                "me":{"userId":1}})"},
        {"not JSON", "not json"},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        items->put(current, account, data, Variant::dataProtection);
        EXPECT_FALSE(runBlocking(store.loadTokens()).has_value());
        EXPECT_FALSE(runBlocking(store.loadMe()).has_value());
    }
}

// The legacy copy is removed only once the current one is written.
TEST_F(KeychainStoreTest, LegacyItemIsMovedOnFirstLoad)
{
    const std::pair<Variant, bool> cases[] = {
        {Variant::dataProtection, true}, {Variant::file, true}, {Variant::dataProtection, false}};
    for (const auto& [legacyVariant, writable] : cases) {
        SCOPED_TRACE(InMemorySecureItemStore::variantName(legacyVariant).toStdString()
                     + (writable ? "" : ", unwritable"));
        items = std::make_shared<InMemorySecureItemStore>();
        KeychainStore migrating(items, current, account);
        items->put(legacy, account, document(), legacyVariant);
        items->setWriteStatus(Variant::dataProtection, writable ? 0 : KeychainStatus::authFailed);
        items->setWriteStatus(Variant::file, writable ? 0 : KeychainStatus::notAvailable);

        EXPECT_EQ(runBlocking(migrating.loadTokens()), tokens);
        const QStringList moved{call("write", Variant::dataProtection, current), call("remove", Variant::file, current),
                                call("remove", Variant::dataProtection, legacy), call("remove", Variant::file, legacy)};
        if (writable) {
            EXPECT_EQ(items->calls().mid(items->calls().size() - moved.size()), moved);
        }
        EXPECT_EQ(items->item(legacy, account, legacyVariant).has_value(), !writable);
    }
}

struct DeleteCase {
    const char* name;
    qint32 dataProtectionStatus;
    qint32 fileStatus;
    qint32 expected;
};

TEST_F(KeychainStoreTest, DeleteTriesBothStoresAndReportsTheFirstFailure)
{
    const DeleteCase cases[] = {
        {"nothing fails", 0, 0, 0},
        {"data-protection delete fails", -25293, 0, -25293},
        {"file delete fails", 0, -25244, -25244},
        {"both fail", -25293, -25244, -25293},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = std::make_shared<InMemorySecureItemStore>();
        KeychainStore deleting(fresh, current, account);
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
