#pragma once

#include "Account/UsageActionCall.h"
#include "Account/WalletAPIProtocol.h"
#include "Logging/VellamorLog.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "wallet.me": the usage client's request and failures
// (UsageActionCall), except that 42902 is an ordinary business error here.
// No cache, no retry, no state between calls. Main thread only.
class WalletAPI final : public QObject, public WalletAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    WalletAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
              std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, VellamorLog log = defaultLog(),
              QObject* parent = nullptr);

    // Subsystem "com.vellamor.app", category "wallet-api".
    static VellamorLog defaultLog();

    QCoro::Task<WalletInfo> fetchWallet() override;

private:
    BearerActionCall bearer_;
    VellamorLog log_;
};

} // namespace vellamor
