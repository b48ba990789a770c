#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace vellamor {

// Where older versions kept database keys: keychain items found by service
// and account, in two keychains tried in turn. Statuses are those of
// KeychainStatus.
class LegacyKeySource {
public:
    enum class Keychain { dataProtection, fileBased };

    struct Lookup {
        qint32 status;
        QByteArray data; // the item's bytes when status is success
    };

    virtual ~LegacyKeySource() = default;

    virtual Lookup copyMatching(const QString& service, const QString& account, Keychain keychain) = 0;
    virtual qint32 remove(const QString& service, const QString& account, Keychain keychain) = 0;

    // No older version of this application kept keys anywhere on this
    // platform: every look-up and removal reports itemNotFound.
    static std::shared_ptr<LegacyKeySource> none();
};

} // namespace vellamor
