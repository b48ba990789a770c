#include "Storage/DBKeyStore.h"

#include "Auth/KeychainStatus.h"
#include "Storage/DBKeyStoreError.h"
#include "Storage/SQLiteAccountStore.h"
#include "Storage/StorageFiles.h"

#include <QFile>

#include <openssl/rand.h>

#include <array>
#include <utility>

namespace vellamor {

namespace {

constexpr std::array keychains {LegacyKeySource::Keychain::dataProtection, LegacyKeySource::Keychain::fileBased};

} // namespace

DBKeyStore::DBKeyStore(QString service, std::optional<QString> baseDirectory, std::shared_ptr<LegacyKeySource> legacy,
                       VellamorLog log)
    : service_(std::move(service))
    , baseDirectory_(std::move(baseDirectory))
    , legacy_(std::move(legacy))
    , log_(std::move(log))
{
}

VellamorLog DBKeyStore::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("db-key-store"));
}

QByteArray DBKeyStore::loadOrCreateKey(const QString& account)
{
    if (auto key = loadKey(account))
        return *key;
    QByteArray key(keyLength, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(key.data()), keyLength) != 1)
        throw DBKeyStoreError::randomFailed(KeychainStatus::internalComponent);
    writeFileKey(key, account);
    return key;
}

std::optional<QByteArray> DBKeyStore::loadKey(const QString& account)
{
    return read(account);
}

std::optional<QByteArray> DBKeyStore::read(const QString& account)
{
    if (auto key = readFileKey(account))
        return key;
    const auto found = readKeychainKey(account);
    if (!found)
        return std::nullopt;
    // The item is removed only once the file holds the key.
    writeFileKey(found->key, account);
    deleteKeychainEntry(account, found->service);
    log_.info(QStringLiteral("db key migrated from keychain to file account=") + account + QStringLiteral(" legacy=")
              + (found->service != service_ ? QStringLiteral("true") : QStringLiteral("false")));
    return found->key;
}

std::optional<QByteArray> DBKeyStore::readFileKey(const QString& account)
{
    auto bytes = storage_files::readFileIfPresent(fileURL(account));
    if (!bytes)
        return std::nullopt;
    if (bytes->size() != keyLength) {
        warnLength(QStringLiteral("db file key length invalid, expected 32 got "), bytes->size(), account);
        return std::nullopt;
    }
    return bytes;
}

std::optional<DBKeyStore::KeychainKey> DBKeyStore::readKeychainKey(const QString& account)
{
    std::optional<qint32> firstFailure;
    for (const QString& service : allServices()) {
        for (const auto keychain : keychains) {
            const auto lookup = legacy_->copyMatching(service, account, keychain);
            if (lookup.status == KeychainStatus::success) {
                if (lookup.data.size() == keyLength)
                    return KeychainKey {lookup.data, service};
                // Moving such an item would fail on its length every time and leave the account without a key.
                warnLength(QStringLiteral("db key length invalid, expected 32 got "), lookup.data.size(), account);
                continue;
            }
            // An application without the entitlement cannot see the data-protection keychain at all.
            const bool notHere = lookup.status == KeychainStatus::itemNotFound
                || (keychain == LegacyKeySource::Keychain::dataProtection
                    && lookup.status == KeychainStatus::missingEntitlement);
            if (!notHere && !firstFailure)
                firstFailure = lookup.status;
        }
    }
    if (firstFailure)
        throw DBKeyStoreError::readFailed(*firstFailure);
    return std::nullopt;
}

void DBKeyStore::writeFileKey(const QByteArray& key, const QString& account)
{
    if (key.size() != keyLength)
        throw DBKeyStoreError::writeFailed(KeychainStatus::param);
    const auto reportMode = [&](const QString& what) {
        return [this, what, account](const QString& reason) {
            log_.warn(what + reason + QStringLiteral(", account=") + account);
        };
    };
    storage_files::createPrivateFolder(keysFolder(), reportMode(QStringLiteral("db key folder mode not set: ")));
    storage_files::writePrivateFileAtomically(fileURL(account), key,
                                              reportMode(QStringLiteral("db key file mode not set: ")));
}

void DBKeyStore::deleteKeychainEntry(const QString& account, const QString& service)
{
    for (const auto keychain : keychains)
        legacy_->remove(service, account, keychain);
}

qint32 DBKeyStore::deleteKey(const QString& account)
{
    QFile::remove(fileURL(account));
    std::optional<qint32> firstFailure;
    bool removedAny = false;
    for (const QString& service : allServices()) {
        for (const auto keychain : keychains) {
            const qint32 status = legacy_->remove(service, account, keychain);
            removedAny = removedAny || status == KeychainStatus::success;
            if (status != KeychainStatus::success && status != KeychainStatus::itemNotFound && !firstFailure)
                firstFailure = status;
        }
    }
    return removedAny ? KeychainStatus::success : firstFailure.value_or(KeychainStatus::success);
}

QString DBKeyStore::keysFolder() const
{
    return baseDirectory_.value_or(SQLiteAccountStore::defaultBaseDirectory()) + QStringLiteral("/keys");
}

QString DBKeyStore::fileURL(const QString& account) const
{
    return keysFolder() + QLatin1Char('/') + account + QStringLiteral(".key");
}

QStringList DBKeyStore::allServices() const
{
    QStringList services {service_};
    if (olderService() != service_)
        services.append(olderService());
    return services;
}

void DBKeyStore::warnLength(const QString& prefix, qsizetype length, const QString& account) const
{
    log_.warn(prefix + QString::number(length) + QStringLiteral(", account=") + account);
}

} // namespace vellamor
