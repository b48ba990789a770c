#include "Windows/WindowServices.h"

#include "Account/ModelAPI.h"
#include "Account/PreferencesAPI.h"
#include "Account/UsageAPI.h"
#include "Account/WalletAPI.h"
#include "Auth/AuthSession.h"
#include "DataSync/DataSyncAPI.h"
#include "InputSources/InputSourceAPI.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthedSession.h"
#include "Settings/AppConfig.h"

namespace vellamor {

namespace {

template<typename Client>
void fill(WindowServices::Factory<Client>& factory, WindowServices::Factory<Client> real)
{
    if (!factory)
        factory = std::move(real);
}

} // namespace

WindowServices WindowServices::withDefaults(const AppConfig& config, const std::shared_ptr<AuthSession>& auth) const
{
    WindowServices services = *this;
    const QUrl api = config.apiBaseURL;
    const QUrl pairing = config.pairingBaseURL;
    fill<AuthAPIProtocol>(services.authAPI, [api] { return std::make_shared<AuthAPI>(api, AuthedSession::shared()); });
    fill<UsageAPIProtocol>(services.usage, [api, auth] {
        return std::make_shared<UsageAPI>(api, AuthedSession::shared(), auth->accessTokens(), auth);
    });
    fill<WalletAPIProtocol>(services.wallet, [api, auth] {
        return std::make_shared<WalletAPI>(api, AuthedSession::shared(), auth->accessTokens(), auth);
    });
    fill<ModelAPIProtocol>(services.models, [api, auth] {
        return std::make_shared<ModelAPI>(api, AuthedSession::shared(), auth->accessTokens());
    });
    fill<PreferencesAPIProtocol>(services.serverPreferences, [api, auth] {
        return std::make_shared<PreferencesAPI>(api, AuthedSession::shared(), auth->accessTokens(), auth);
    });
    fill<InputSourceAPIProtocol>(services.inputSources, [api, pairing, auth] {
        return std::make_shared<InputSourceAPI>(api, pairing, AuthedSession::shared(), auth->accessTokens(), auth);
    });
    fill<DataSyncAPIProtocol>(services.dataSync, [api, auth] {
        return std::make_shared<DataSyncAPI>(api, AuthedSession::shared(), auth->accessTokens(), auth, std::nullopt);
    });
    return services;
}

} // namespace vellamor
