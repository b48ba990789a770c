#include "Account/SystemAPI.h"

#include "Models/VellamorAction.h"
#include "Networking/ActionRequest.h"
#include "Networking/BearerActionCall.h"

#include <QJsonObject>

#include <utility>

namespace vellamor {

SystemAPI::SystemAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, QObject* parent)
    : QObject(parent), baseURL_(std::move(baseURL)), session_(std::move(session))
{
}

template<typename R>
QCoro::Task<R> SystemAPI::call(QUrl baseURL, std::shared_ptr<HTTPSession> session, QString action)
{
    using Texts = NetworkFailureTexts<SystemAPIError>;
    HTTPRequest request;
    try {
        request = ActionRequest{std::move(action), AnyEncodable(QJsonObject()), KeyCasing::unchanged, std::nullopt,
                                requestTimeout}
                      .to(baseURL);
    } catch (const std::exception&) {
        throw Texts().encodingFailed();
    }

    const HTTPResult result = co_await session->data(std::move(request));
    if (!result.response.isHTTP())
        throw Texts().invalidResponse();
    if (*result.response.statusCode >= 400)
        throw Texts().errorStatus(*result.response.statusCode);
    co_return Texts::record(Texts::envelope<R>(result.data));
}

QCoro::Task<SystemPingResponse> SystemAPI::ping()
{
    return call<SystemPingResponse>(baseURL_, session_, VellamorAction::systemPing);
}

QCoro::Task<SystemConfigResponse> SystemAPI::config()
{
    return call<SystemConfigResponse>(baseURL_, session_, VellamorAction::systemConfig);
}

} // namespace vellamor
