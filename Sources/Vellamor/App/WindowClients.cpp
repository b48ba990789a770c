#include "App/WindowClients.h"

#include "Account/ModelAPI.h"
#include "Account/PreferencesAPI.h"
#include "Account/UsageAPI.h"
#include "Account/WalletAPI.h"
#include "Auth/AuthSession.h"
#include "DataSync/DataSyncAPI.h"
#include "InputSources/InputSourceAPI.h"
#include "Networking/AuthAPI.h"
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

WindowServices withWindowClients(WindowServices given, const AppConfig& config, std::shared_ptr<HTTPSession> http,
                                 const std::shared_ptr<AuthSession>& auth)
{
    WindowServices services = std::move(given);
    const QUrl api = config.apiBaseURL;
    const QUrl pairing = config.pairingBaseURL;
    fill<AuthAPIProtocol>(services.authAPI, [api, http] { return std::make_shared<AuthAPI>(api, http); });
    fill<UsageAPIProtocol>(services.usage, [api, http, auth] {
        return std::make_shared<UsageAPI>(api, http, auth->accessTokens(), auth);
    });
    fill<WalletAPIProtocol>(services.wallet, [api, http, auth] {
        return std::make_shared<WalletAPI>(api, http, auth->accessTokens(), auth);
    });
    fill<ModelAPIProtocol>(services.models, [api, http, auth] {
        return std::make_shared<ModelAPI>(api, http, auth->accessTokens());
    });
    fill<PreferencesAPIProtocol>(services.serverPreferences, [api, http, auth] {
        return std::make_shared<PreferencesAPI>(api, http, auth->accessTokens(), auth);
    });
    fill<InputSourceAPIProtocol>(services.inputSources, [api, pairing, http, auth] {
        return std::make_shared<InputSourceAPI>(api, pairing, http, auth->accessTokens(), auth);
    });
    fill<DataSyncAPIProtocol>(services.dataSync, [api, http, auth] {
        return std::make_shared<DataSyncAPI>(api, http, auth->accessTokens(), auth, std::nullopt);
    });
    return services;
}

} // namespace vellamor
