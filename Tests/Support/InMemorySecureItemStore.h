#pragma once

#include "Auth/SecureItemStore.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vellamor::test {

// Secret items in memory, in the two variants of the platform keychain,
// for unit tests. Every call is recorded ("write dp svc/acct", "read file
// svc/acct", "remove dp svc/acct") and answers after `latency` on a later
// turn of the event loop, so callers really suspend. Statuses follow the
// keychain: removing nothing gives itemNotFound. A variant can be made to
// fail writes or removals with a chosen status, or to read nothing.
class InMemorySecureItemStore final : public SecureItemStore {
public:
    QCoro::Task<std::optional<QByteArray>> read(QString service, QString account, Variant variant) override;
    QCoro::Task<qint32> write(QString service, QString account, QByteArray data, Variant variant) override;
    QCoro::Task<qint32> remove(QString service, QString account, Variant variant) override;

    // Direct access, no recording, no waiting.
    void put(const QString& service, const QString& account, const QByteArray& data, Variant variant);
    std::optional<QByteArray> item(const QString& service, const QString& account, Variant variant) const;
    qsizetype itemCount() const { return items_.size(); }

    // 0 restores normal behaviour.
    void setWriteStatus(Variant variant, qint32 status) { writeStatus_[index(variant)] = status; }
    void setRemoveStatus(Variant variant, qint32 status) { removeStatus_[index(variant)] = status; }
    void setReadable(Variant variant, bool readable) { readable_[index(variant)] = readable; }
    void setLatency(std::chrono::milliseconds latency) { latency_ = latency; }

    const QStringList& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    static QString variantName(Variant variant);

private:
    static int index(Variant variant) { return variant == Variant::dataProtection ? 0 : 1; }
    static QString keyOf(const QString& service, const QString& account, Variant variant);
    void record(const QString& operation, const QString& service, const QString& account, Variant variant);

    QHash<QString, QByteArray> items_;
    qint32 writeStatus_[2] = {0, 0};
    qint32 removeStatus_[2] = {0, 0};
    bool readable_[2] = {true, true};
    std::chrono::milliseconds latency_{0};
    QStringList calls_;
};

} // namespace vellamor::test
