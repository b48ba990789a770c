#include "Auth/KeychainStore.h"

#include "Auth/KeychainFailure.h"
#include "Auth/KeychainStatus.h"
#include "Networking/JsonCoding.h"
#include "Support/Json/JsonReader.h"

#include <QJsonObject>

#include <exception>
#include <utility>

namespace vellamor {

using Variant = SecureItemStore::Variant;

QString KeychainStore::defaultService(const std::optional<QString>& bundleIdentifier)
{
    const QString base = bundleIdentifier && !bundleIdentifier->isEmpty() ? *bundleIdentifier
                                                                           : QStringLiteral("com.quorvex.vellamor.mac");
    return base + QStringLiteral(".auth");
}

KeychainStore::KeychainStore(std::shared_ptr<SecureItemStore> items, QString service, QString account)
    : items_(std::move(items)), service_(std::move(service)), account_(std::move(account))
{
}

QByteArray KeychainStore::encodeDocument(const AuthTokens& tokens, const std::optional<AuthMe>& me)
{
    QJsonObject document{{QStringLiteral("tokens"), tokens.toJson()}};
    if (me)
        document.insert(QStringLiteral("me"), me->toJson());
    return encodeJsonText(document);
}

std::optional<KeychainStore::Stored> KeychainStore::decodeDocument(const QByteArray& data)
{
    try {
        const JsonReader reader = JsonReader::parse(data);
        Stored stored{AuthTokens::fromJson(reader.value(u"tokens"), reader.pathFor(u"tokens")), std::nullopt};
        if (reader.hasValue(u"me"))
            stored.me = AuthMe::fromJson(reader.value(u"me"), reader.pathFor(u"me"));
        return stored;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QCoro::Task<std::optional<AuthTokens>> KeychainStore::loadTokens() const
{
    const auto stored = co_await load(key());
    if (!stored)
        co_return std::nullopt;
    co_return stored->tokens;
}

QCoro::Task<std::optional<AuthMe>> KeychainStore::loadMe() const
{
    const auto stored = co_await load(key());
    if (!stored)
        co_return std::nullopt;
    co_return stored->me;
}

QCoro::Task<void> KeychainStore::saveTokens(AuthTokens tokens, std::optional<AuthMe> me) const
{
    co_await write(key(), encodeDocument(tokens, me));
}

QCoro::Task<qint32> KeychainStore::deleteTokens() const
{
    const Key current = key();
    const qint32 dataProtection = co_await current.items->remove(current.service, current.account,
                                                                 Variant::dataProtection);
    const qint32 file = co_await current.items->remove(current.service, current.account, Variant::file);
    for (const qint32 status : {dataProtection, file}) {
        if (status != KeychainStatus::success && status != KeychainStatus::itemNotFound)
            co_return status;
    }
    co_return KeychainStatus::success;
}

QCoro::Task<std::optional<KeychainStore::Stored>> KeychainStore::load(Key key)
{
    const auto data = co_await read(std::move(key));
    if (!data)
        co_return std::nullopt;
    co_return decodeDocument(*data);
}

QCoro::Task<std::optional<QByteArray>> KeychainStore::read(Key key)
{
    for (const Variant variant : {Variant::dataProtection, Variant::file}) {
        if (auto data = co_await key.items->read(key.service, key.account, variant))
            co_return data;
    }
    for (const QString& legacy : legacyServices()) {
        if (legacy == key.service)
            continue;
        for (const Variant variant : {Variant::dataProtection, Variant::file}) {
            if (auto data = co_await key.items->read(legacy, key.account, variant)) {
                co_await migrateFromLegacy(key, *data, legacy);
                co_return data;
            }
        }
    }
    co_return std::nullopt;
}

QCoro::Task<void> KeychainStore::write(Key key, QByteArray data)
{
    const qint32 first = co_await key.items->write(key.service, key.account, data, Variant::dataProtection);
    if (first == KeychainStatus::success) {
        co_await key.items->remove(key.service, key.account, Variant::file);
        co_return;
    }
    const qint32 second = co_await key.items->write(key.service, key.account, data, Variant::file);
    if (second == KeychainStatus::success) {
        co_await key.items->remove(key.service, key.account, Variant::dataProtection);
        co_return;
    }
    throw KeychainFailure::writeFailed(first);
}

QCoro::Task<void> KeychainStore::migrateFromLegacy(Key current, QByteArray data, QString legacyService)
{
    bool written = false;
    try {
        co_await write(current, std::move(data));
        written = true;
    } catch (const KeychainFailure&) {
    }
    if (!written)
        co_return;
    co_await current.items->remove(legacyService, current.account, Variant::dataProtection);
    co_await current.items->remove(legacyService, current.account, Variant::file);
}

} // namespace vellamor
