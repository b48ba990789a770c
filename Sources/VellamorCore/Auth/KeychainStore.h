#pragma once

#include "Auth/SecureItemStore.h"
#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vellamor {

// Keeps the signed-in session across launches: one secret item (service,
// account) whose data is the JSON document {"tokens": AuthTokens, "me":
// AuthMe (only when known)} in the records' local form, dates as ISO 8601 in
// UTC with whole seconds. No cache: every load reads anew.
//
// Reading: the current service in the data-protection store, then in the
// file store, then each legacy service (unless it is the current one) in the
// same order. A legacy hit is migrated (written under the current service;
// after a successful write the legacy item is removed from both stores) and
// returned even when the migration failed. A document that does not decode
// counts as absent.
//
// Writing: the data-protection store first; when that worked, the copy in
// the file store is removed; otherwise the file store, and when that worked
// the copy in the data-protection store is removed. When both writes fail,
// KeychainFailure::writeFailed carries the status of the first, and the item
// stored before is left as it was.
//
// Deleting: both stores of the current service, always both; "not found"
// counts as success; the first failing status, else 0. Legacy items are
// not touched.
//
// Every operation awaits the store, so its caller must re-check its own state
// afterwards. Main thread only; calls may outlive the object.
class KeychainStore {
public:
    // The application id that stands for the bundle identifier.
    static QString applicationIdentifier() { return QStringLiteral("com.vellamor.app"); }
    // `bundleIdentifier` + ".auth"; "com.quorvex.vellamor.mac.auth" when
    // there is none (or it is empty).
    static QString defaultService(const std::optional<QString>& bundleIdentifier = applicationIdentifier());
    // Service names of earlier builds, in lookup order.
    static QStringList legacyServices() { return {QStringLiteral("com.vellamor.mac.dev.auth")}; }

    KeychainStore(std::shared_ptr<SecureItemStore> items, QString service, QString account);

    const QString& service() const { return service_; }
    const QString& account() const { return account_; }

    QCoro::Task<std::optional<AuthTokens>> loadTokens() const;
    // The stored user details without the tokens.
    QCoro::Task<std::optional<AuthMe>> loadMe() const;
    // Throws KeychainFailure::writeFailed.
    QCoro::Task<void> saveTokens(AuthTokens tokens, std::optional<AuthMe> me) const;
    QCoro::Task<qint32> deleteTokens() const;

    struct Stored {
        AuthTokens tokens;
        std::optional<AuthMe> me;
    };
    static QByteArray encodeDocument(const AuthTokens& tokens, const std::optional<AuthMe>& me);
    // None for anything that is not such a document.
    static std::optional<Stored> decodeDocument(const QByteArray& data);

private:
    struct Key {
        std::shared_ptr<SecureItemStore> items;
        QString service;
        QString account;
    };
    Key key() const { return Key{items_, service_, account_}; }

    static QCoro::Task<std::optional<Stored>> load(Key key);
    static QCoro::Task<std::optional<QByteArray>> read(Key key);
    static QCoro::Task<void> write(Key key, QByteArray data);
    static QCoro::Task<void> migrateFromLegacy(Key current, QByteArray data, QString legacyService);

    std::shared_ptr<SecureItemStore> items_;
    QString service_;
    QString account_;
};

} // namespace vellamor
