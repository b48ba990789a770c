#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace vellamor {

// Secret items keyed by (service, account), in two places that stand for the
// platform keychain's data-protection and file-based stores. Statuses are
// those of KeychainStatus: 0 for success, itemNotFound (-25300) for "nothing
// there", another negative value for every other failure. Main thread only.
class SecureItemStore {
public:
    enum class Variant { dataProtection, file };

    virtual ~SecureItemStore() = default;

    // The item's data; none when it is absent or cannot be read.
    virtual QCoro::Task<std::optional<QByteArray>> read(QString service, QString account, Variant variant) = 0;
    // Creates the item or replaces the one with the same key.
    virtual QCoro::Task<qint32> write(QString service, QString account, QByteArray data, Variant variant) = 0;
    virtual QCoro::Task<qint32> remove(QString service, QString account, Variant variant) = 0;
};

} // namespace vellamor
