#include "Networking/SessionFeedbackAPI.h"

#include "Auth/AuthSession.h"
#include "Networking/APIResponseEnvelope.h"
#include "Support/Json/JsonReader.h"

#include <utility>

namespace vellamor {

SessionFeedbackAPI::SessionFeedbackAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session,
                                       AccessTokenProvider tokenProvider)
    : SessionFeedbackAPI(std::move(baseURL), std::move(session), std::move(tokenProvider), AuthSession::shared())
{
}

SessionFeedbackAPI::SessionFeedbackAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session,
                                       AccessTokenProvider tokenProvider,
                                       std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent)
    : QObject(parent)
    , bearer_{std::move(baseURL), std::move(session), std::move(tokenProvider), std::move(unauthorizedHandler),
              requestTimeout}
{
}

QCoro::Task<SessionFeedbackResponse> SessionFeedbackAPI::submitFeedback(SessionFeedbackRequest request,
                                                                        std::stop_token stop)
{
    return call(bearer_, std::move(request), std::move(stop));
}

QCoro::Task<SessionFeedbackResponse> SessionFeedbackAPI::call(BearerActionCall bearer, SessionFeedbackRequest request,
                                                              std::stop_token stop)
{
    auto handler = bearer.unauthorizedHandler;
    const QByteArray body = co_await BearerActionCall::send<SessionFeedbackAPIError>(
        std::move(bearer), QStringLiteral("session.feedback"), AnyEncodable(std::move(request)), std::move(stop));

    APIResponseEnvelope<SessionFeedbackResponse> reply;
    try {
        const QJsonValue converted = convertingKeys(JsonReader::parse(body).object(), KeyCasing::fromSnakeCase);
        reply = APIResponseEnvelope<SessionFeedbackResponse>::fromJson(converted, {});
    } catch (const Error&) {
        throw SessionFeedbackAPIError::network(QStringLiteral("响应解析失败"));
    }

    if (BearerActionCall::endsSession(reply.code))
        co_await BearerActionCall::endSession<SessionFeedbackAPIError>(std::move(handler),
                                                                       AuthUnauthorizedReason::from(reply.code));
    if (reply.code != 0)
        throw SessionFeedbackAPIError::server(reply.code, reply.msg);
    if (!reply.data)
        throw SessionFeedbackAPIError::network(QStringLiteral("空响应"));
    co_return *reply.data;
}

} // namespace vellamor
