#pragma once

#include "Auth/KeychainStatus.h"
#include "Auth/SecureItemStore.h"
#include "Support/Async/Sleep.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
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
// fail writes or removals with a chosen status.
class InMemorySecureItemStore final : public SecureItemStore {
public:
    QCoro::Task<std::optional<QByteArray>> read(QString service, QString account, Variant variant) override
    {
        record(QStringLiteral("read"), service, account, variant);
        co_await sleepFor(latency_);
        co_return item(service, account, variant);
    }

    QCoro::Task<qint32> write(QString service, QString account, QByteArray data, Variant variant) override
    {
        record(QStringLiteral("write"), service, account, variant);
        co_await sleepFor(latency_);
        const qint32 status = writeStatus_.value(variant, KeychainStatus::success);
        if (status == KeychainStatus::success)
            put(service, account, data, variant);
        co_return status;
    }

    QCoro::Task<qint32> remove(QString service, QString account, Variant variant) override
    {
        record(QStringLiteral("remove"), service, account, variant);
        co_await sleepFor(latency_);
        const qint32 status = removeStatus_.value(variant, KeychainStatus::success);
        if (status != KeychainStatus::success)
            co_return status;
        co_return items_.remove(keyOf(service, account, variant)) > 0 ? KeychainStatus::success
                                                                       : KeychainStatus::itemNotFound;
    }

    // Direct access, no recording, no waiting.
    void put(const QString& service, const QString& account, const QByteArray& data, Variant variant)
    {
        items_.insert(keyOf(service, account, variant), data);
    }
    std::optional<QByteArray> item(const QString& service, const QString& account, Variant variant) const
    {
        const auto it = items_.constFind(keyOf(service, account, variant));
        if (it == items_.constEnd())
            return std::nullopt;
        return *it;
    }
    qsizetype itemCount() const { return items_.size(); }

    // KeychainStatus::success restores normal behaviour.
    void setWriteStatus(Variant variant, qint32 status) { writeStatus_.insert(variant, status); }
    void setRemoveStatus(Variant variant, qint32 status) { removeStatus_.insert(variant, status); }
    void setLatency(std::chrono::milliseconds latency) { latency_ = latency; }

    const QStringList& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    static QString variantName(Variant variant)
    {
        return variant == Variant::dataProtection ? QStringLiteral("dp") : QStringLiteral("file");
    }

private:
    static QString keyOf(const QString& service, const QString& account, Variant variant)
    {
        return variantName(variant) + QLatin1Char(' ') + service + QLatin1Char('/') + account;
    }
    void record(const QString& operation, const QString& service, const QString& account, Variant variant)
    {
        calls_.append(operation + QLatin1Char(' ') + keyOf(service, account, variant));
    }

    QHash<QString, QByteArray> items_;
    QMap<Variant, qint32> writeStatus_;
    QMap<Variant, qint32> removeStatus_;
    std::chrono::milliseconds latency_{0};
    QStringList calls_;
};

} // namespace vellamor::test
