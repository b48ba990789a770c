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

// How windows get the backend clients they talk to: each call builds a
// fresh client, so a page that is shown again asks again. Windows never
// build a client themselves: the shell fills the factories with the real
// clients (App/WindowClients), tests with fakes.
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
};

} // namespace vellamor
