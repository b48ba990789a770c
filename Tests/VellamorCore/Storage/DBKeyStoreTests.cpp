#include "Auth/KeychainStatus.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "Storage/DBKeyStore.h"
#include "Storage/DBKeyStoreError.h"
#include "Storage/FileSystemError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using vellamor::DBKeyStore;
using vellamor::DBKeyStoreError;
using vellamor::KeychainStatus;
using vellamor::LegacyKeySource;
using Keychain = LegacyKeySource::Keychain;
using Texts = std::vector<std::string>;

namespace {

const QString kAccount = QStringLiteral("u1");
const QByteArray kOlderKey(32, '\x11');

std::string describe(const QString& service, Keychain keychain)
{
    return service.toStdString() + (keychain == Keychain::dataProtection ? " data-protection" : " file-based");
}

// Keychain items of older versions for the account u1; whatever is not set
// up is not found. Records every removal.
class FakeLegacyKeySource final : public LegacyKeySource {
public:
    std::map<std::string, Lookup> answers; // by describe(service, keychain)
    Texts removed;

    Lookup copyMatching(const QString& service, const QString& account, Keychain keychain) override
    {
        const auto answer = answers.find(describe(service, keychain));
        if (account != kAccount || answer == answers.end())
            return {KeychainStatus::itemNotFound, {}};
        return answer->second;
    }

    qint32 remove(const QString& service, const QString&, Keychain keychain) override
    {
        removed.push_back(describe(service, keychain));
        return KeychainStatus::success;
    }
};

class DBKeyStoreTest : public ::testing::Test {
protected:
    DBKeyStore keyStore()
    {
        return DBKeyStore(DBKeyStore::service(), base.path(), legacy,
                          vellamor::VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("db-key-store"),
                                                systemLog, nullptr));
    }
    QString keysFolder() const { return base.path() + QStringLiteral("/keys"); }
    QString keyFile() const { return keysFolder() + QStringLiteral("/u1.key"); }
    QByteArray fileContents() const
    {
        QFile file(keyFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeKeyFile(const QByteArray& bytes)
    {
        QDir().mkpath(keysFolder());
        QFile file(keyFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    Texts logLines() const
    {
        Texts lines;
        for (const auto& entry : systemLog->entries())
            lines.push_back((entry.level == vellamor::SystemLogLevel::Info ? "INFO " : "WARN ")
                            + entry.publicPart.toStdString());
        return lines;
    }

    QTemporaryDir base;
    std::shared_ptr<FakeLegacyKeySource> legacy = std::make_shared<FakeLegacyKeySource>();
    std::shared_ptr<vellamor::test::RecordingSystemLog> systemLog
        = std::make_shared<vellamor::test::RecordingSystemLog>();
};

// Under a permissive umask the key must still never be readable by others,
// not even while it is being written: the temporary file it is written to
// gets no mode change between its creation and its first byte.
TEST_F(DBKeyStoreTest, TheFirstKeyIsAnOwnerOnlyFileFromItsCreation)
{
    const mode_t previousUmask = ::umask(0);
    ASSERT_TRUE(QDir().mkpath(keysFolder()));
    ::chmod(QFile::encodeName(keysFolder()).constData(), 0755);
    const int watcher = ::inotify_init1(IN_NONBLOCK);
    ::inotify_add_watch(watcher, QFile::encodeName(keysFolder()).constData(), IN_CREATE | IN_ATTRIB | IN_MODIFY);

    const QByteArray key = keyStore().loadOrCreateKey(kAccount);
    ::umask(previousUmask);

    Texts fileEvents;
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = ::read(watcher, buffer, sizeof buffer);
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        if (event->len > 0) // not the folder's own attributes
            fileEvents.push_back(event->mask & IN_CREATE ? "create" : event->mask & IN_ATTRIB ? "attrib" : "modify");
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    ::close(watcher);

    EXPECT_EQ(fileEvents, Texts({"create", "modify"}));
    EXPECT_EQ(fileContents(), key);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    EXPECT_EQ(QFile::permissions(keyFile()), ownerOnly);
    EXPECT_EQ(QFile::permissions(keysFolder()), ownerOnly | QFile::ExeOwner | QFile::ExeUser);
    EXPECT_EQ(QDir(keysFolder()).entryList(QDir::Files), QStringList(QStringLiteral("u1.key")));
    EXPECT_EQ(keyStore().loadOrCreateKey(kAccount), key);
    EXPECT_EQ(logLines(), Texts());
}

TEST_F(DBKeyStoreTest, AKeyFileComesFirstAndOneOfTheWrongLengthIsReplaced)
{
    legacy->answers[describe(DBKeyStore::service(), Keychain::dataProtection)] = {0, kOlderKey};
    writeKeyFile(QByteArray(32, '\x01'));
    EXPECT_EQ(keyStore().loadOrCreateKey(kAccount), QByteArray(32, '\x01'));

    legacy->answers.clear();
    writeKeyFile(QByteArray(31, '\x01'));
    const QByteArray key = keyStore().loadOrCreateKey(kAccount);
    EXPECT_EQ(fileContents(), key);
    EXPECT_EQ(logLines(), Texts({"WARN db file key length invalid, expected 32 got 31, account=u1"}));
}

TEST_F(DBKeyStoreTest, KeysOfOlderVersionsMoveIntoTheFile)
{
    const QString own = DBKeyStore::service();
    const QString older = DBKeyStore::olderService();
    const auto dp = [](const QString& service) { return describe(service, Keychain::dataProtection); };
    const auto file = [](const QString& service) { return describe(service, Keychain::fileBased); };
    const std::string migratedTrue = "INFO db key migrated from keychain to file account=u1 legacy=true";
    const qint32 notAllowed = KeychainStatus::interactionNotAllowed;
    const qint32 noEntitlement = KeychainStatus::missingEntitlement;
    struct Case {
        const char* name;
        std::map<std::string, LegacyKeySource::Lookup> answers;
        qint32 expectedFailure; // 0: a key; kOlderKey when an item holds it, else a new one
        Texts removed;
        Texts log;
    };
    const std::array cases {
        Case {"older service", {{dp(older), {0, kOlderKey}}}, 0, {dp(older), file(older)}, {migratedTrue}},
        Case {"own service, file-based keychain, no entitlement for the other",
              {{dp(own), {noEntitlement, {}}}, {file(own), {0, kOlderKey}}}, 0, {dp(own), file(own)},
              {"INFO db key migrated from keychain to file account=u1 legacy=false"}},
        Case {"a failure before the key is found", {{dp(own), {notAllowed, {}}}, {file(older), {0, kOlderKey}}}, 0,
              {dp(older), file(older)}, {migratedTrue}},
        Case {"the first of two failures, nothing found",
              {{file(own), {notAllowed, {}}}, {dp(older), {KeychainStatus::authFailed, {}}}}, notAllowed, {}, {}},
        Case {"no entitlement is a failure in the file-based keychain", {{file(own), {noEntitlement, {}}}},
              noEntitlement, {}, {}},
        Case {"an item of the wrong length", {{dp(own), {0, QByteArray(31, '\x22')}}}, 0, {},
              {"WARN db key length invalid, expected 32 got 31, account=u1"}},
        Case {"an item of the wrong length, then a valid one",
              {{dp(own), {0, QByteArray(33, '\x22')}}, {file(older), {0, kOlderKey}}}, 0, {dp(older), file(older)},
              {"WARN db key length invalid, expected 32 got 33, account=u1", migratedTrue}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(keysFolder()).removeRecursively();
        *legacy = FakeLegacyKeySource();
        legacy->answers = c.answers;
        systemLog = std::make_shared<vellamor::test::RecordingSystemLog>();

        try {
            const QByteArray key = keyStore().loadOrCreateKey(kAccount);
            EXPECT_EQ(key.size(), 32);
            EXPECT_EQ(key == kOlderKey, !c.removed.empty());
            EXPECT_EQ(fileContents(), key);
            EXPECT_EQ(c.expectedFailure, 0);
        } catch (const DBKeyStoreError& error) {
            EXPECT_EQ(error, DBKeyStoreError::readFailed(c.expectedFailure));
            EXPECT_FALSE(QFile::exists(keyFile()));
        }
        EXPECT_EQ(legacy->removed, c.removed);
        EXPECT_EQ(logLines(), c.log);
    }
}

TEST_F(DBKeyStoreTest, ANewKeyThatCannotBeStoredIsNotReturned)
{
    QFile blocker(keysFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_THROW(keyStore().loadOrCreateKey(kAccount), vellamor::FileSystemError);
}

} // namespace
