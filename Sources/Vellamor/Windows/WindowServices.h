#pragma once

#include "Account/ModelAPIProtocol.h"
#include "Account/PreferencesAPIProtocol.h"
#include "Account/UsageAPIProtocol.h"
#include "Account/WalletAPIProtocol.h"
#include "DataSync/DataSyncAPIProtocol.h"
#include "InputSources/InputSourceAPIProtocol.h"
#include "Networking/AuthAPIProtocol.h"

#include <functional>
#include <memory>

namespace vellamor {

class AuthSession;
struct AppConfig;

// How windows get the backend clients they talk to: each call builds a
// fresh client, so a page that is shown again asks again. Windows never
// build a client themselves; tests put fakes here.
struct WindowServices {
    template<typename Client>
    using Factory = std::function<std::shared_ptr<Client>()>;

    Factory<AuthAPIProtocol> authAPI;
    Factory<UsageAPIProtocol> usage;
    Factory<WalletAPIProtocol> wallet;
    Factory<ModelAPIProtocol> models;
    Factory<PreferencesAPIProtocol> serverPreferences;
    Factory<InputSourceAPIProtocol> inputSources;
    // A client of the window's own, never the sync engine's.
    Factory<DataSyncAPIProtocol> dataSync;

    // The factories left empty build the real clients: `config`'s addresses,
    // the shared HTTP session, `auth`'s access tokens, and `auth` told of
    // refused sign-ins.
    WindowServices withDefaults(const AppConfig& config, const std::shared_ptr<AuthSession>& auth) const;
};

} // namespace vellamor
