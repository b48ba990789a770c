#include "Account/WalletAPI.h"

#include "Models/VellamorAction.h"

#include <QJsonObject>

#include <utility>

namespace vellamor {

WalletAPI::WalletAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                     std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, VellamorLog log, QObject* parent)
    : QObject(parent)
    , bearer_{std::move(baseURL), std::move(session), std::move(tokenProvider), std::move(unauthorizedHandler),
              requestTimeout}
    , log_(std::move(log))
{
}

VellamorLog WalletAPI::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("wallet-api"));
}

QCoro::Task<WalletInfo> WalletAPI::fetchWallet()
{
    return UsageActionCall::fetch<WalletInfo>(UsageActionCall{bearer_, log_, VellamorAction::walletMe, false},
                                              AnyEncodable(QJsonObject()));
}

} // namespace vellamor
