#include "InMemorySecureItemStore.h"

#include "Auth/KeychainStatus.h"
#include "Support/Async/Sleep.h"

namespace vellamor::test {

QString InMemorySecureItemStore::variantName(Variant variant)
{
    return variant == Variant::dataProtection ? QStringLiteral("dp") : QStringLiteral("file");
}

QString InMemorySecureItemStore::keyOf(const QString& service, const QString& account, Variant variant)
{
    return variantName(variant) + QLatin1Char(' ') + service + QLatin1Char('/') + account;
}

void InMemorySecureItemStore::record(const QString& operation, const QString& service, const QString& account,
                                     Variant variant)
{
    calls_.append(operation + QLatin1Char(' ') + keyOf(service, account, variant));
}

void InMemorySecureItemStore::put(const QString& service, const QString& account, const QByteArray& data,
                                  Variant variant)
{
    items_.insert(keyOf(service, account, variant), data);
}

std::optional<QByteArray> InMemorySecureItemStore::item(const QString& service, const QString& account,
                                                        Variant variant) const
{
    const auto it = items_.constFind(keyOf(service, account, variant));
    if (it == items_.constEnd())
        return std::nullopt;
    return *it;
}

QCoro::Task<std::optional<QByteArray>> InMemorySecureItemStore::read(QString service, QString account,
                                                                    Variant variant)
{
    record(QStringLiteral("read"), service, account, variant);
    co_await sleepFor(latency_);
    if (!readable_[index(variant)])
        co_return std::nullopt;
    co_return item(service, account, variant);
}

QCoro::Task<qint32> InMemorySecureItemStore::write(QString service, QString account, QByteArray data,
                                                   Variant variant)
{
    record(QStringLiteral("write"), service, account, variant);
    co_await sleepFor(latency_);
    if (writeStatus_[index(variant)] != KeychainStatus::success)
        co_return writeStatus_[index(variant)];
    put(service, account, data, variant);
    co_return KeychainStatus::success;
}

QCoro::Task<qint32> InMemorySecureItemStore::remove(QString service, QString account, Variant variant)
{
    record(QStringLiteral("remove"), service, account, variant);
    co_await sleepFor(latency_);
    if (removeStatus_[index(variant)] != KeychainStatus::success)
        co_return removeStatus_[index(variant)];
    co_return items_.remove(keyOf(service, account, variant)) > 0 ? KeychainStatus::success
                                                                   : KeychainStatus::itemNotFound;
}

} // namespace vellamor::test
