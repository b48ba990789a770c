#include "Storage/LegacyKeySource.h"

#include "Auth/KeychainStatus.h"

namespace vellamor {

namespace {

class NoLegacyKeySource final : public LegacyKeySource {
public:
    Lookup copyMatching(const QString&, const QString&, Keychain) override { return {KeychainStatus::itemNotFound, {}}; }
    qint32 remove(const QString&, const QString&, Keychain) override { return KeychainStatus::itemNotFound; }
};

} // namespace

std::shared_ptr<LegacyKeySource> LegacyKeySource::none()
{
    static const std::shared_ptr<LegacyKeySource> instance = std::make_shared<NoLegacyKeySource>();
    return instance;
}

} // namespace vellamor
