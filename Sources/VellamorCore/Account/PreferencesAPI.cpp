#include "Account/PreferencesAPI.h"

#include "Models/VellamorAction.h"

#include <QJsonObject>

#include <utility>

namespace vellamor {

PreferencesAPI::PreferencesAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session,
                               AccessTokenProvider tokenProvider,
                               std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent)
    : QObject(parent)
    , bearer_{std::move(baseURL), std::move(session), std::move(tokenProvider), std::move(unauthorizedHandler),
              requestTimeout, KeyCasing::unchanged}
{
}

QCoro::Task<PreferencesView> PreferencesAPI::getPreferences()
{
    return call(bearer_, VellamorAction::preferencesGet, AnyEncodable(QJsonObject()));
}

QCoro::Task<PreferencesView> PreferencesAPI::updatePreferences(PreferencesUpdateRequest request)
{
    return call(bearer_, VellamorAction::preferencesUpdate, AnyEncodable(std::move(request)));
}

QCoro::Task<PreferencesView> PreferencesAPI::call(BearerActionCall bearer, QString action, AnyEncodable data)
{
    BearerReply reply =
        co_await BearerActionCall::send<PreferencesAPIError>(std::move(bearer), std::move(action), std::move(data), {});
    co_return co_await BearerActionCall::receive<PreferencesAPIError, PreferencesView>(std::move(reply));
}

} // namespace vellamor
