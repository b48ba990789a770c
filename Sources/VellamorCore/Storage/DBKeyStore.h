#pragma once

#include "Logging/VellamorLog.h"
#include "Storage/LegacyKeySource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vellamor {

// One random 256-bit database key per account, kept in
// `<base>/keys/<account>.key` (folder 0700, file 0600, exactly the 32 key
// bytes). A key that an older version kept in the keychain is moved into the
// file the first time it is loaded. Keys are never rotated. Used on the
// thread that creates a history store; it has no state of its own beyond
// its fixed fields.
class DBKeyStore final {
public:
    static constexpr qsizetype keyLength = 32;

    // The keychain service of this application's keys.
    static QString service() { return QStringLiteral("com.quorvex.vellamor.mac.dbkey"); }
    // The one older service whose keys are also moved into files.
    static QString olderService() { return QStringLiteral("com.vellamor.mac.dev.dbkey"); }

    // `baseDirectory` none: SQLiteAccountStore::defaultBaseDirectory().
    DBKeyStore(QString service, std::optional<QString> baseDirectory,
               std::shared_ptr<LegacyKeySource> legacy = LegacyKeySource::none(), VellamorLog log = defaultLog());

    // The account's key; a new one is made and stored when there is none.
    // Throws DBKeyStoreError or FileSystemError; a new key that could not be
    // stored is not returned.
    QByteArray loadOrCreateKey(const QString& account);
    // The account's key, or none. A key file or keychain item of the wrong
    // length counts as none (with a warning), so a new key replaces it.
    std::optional<QByteArray> loadKey(const QString& account);
    // Removes the key file and the account's items of every known service:
    // 0 when something was removed or there was nothing to remove, otherwise
    // the first status that was not itemNotFound.
    qint32 deleteKey(const QString& account);

    static VellamorLog defaultLog();

private:
    struct KeychainKey {
        QByteArray key;
        QString service;
    };

    QString keysFolder() const;
    QString fileURL(const QString& account) const;
    QStringList allServices() const;
    std::optional<QByteArray> readFileKey(const QString& account);
    std::optional<KeychainKey> readKeychainKey(const QString& account);
    std::optional<QByteArray> read(const QString& account);
    void writeFileKey(const QByteArray& key, const QString& account);
    void deleteKeychainEntry(const QString& account, const QString& service);
    void warnLength(const QString& prefix, qsizetype length, const QString& account) const;

    QString service_;
    std::optional<QString> baseDirectory_;
    std::shared_ptr<LegacyKeySource> legacy_;
    VellamorLog log_;
};

} // namespace vellamor
