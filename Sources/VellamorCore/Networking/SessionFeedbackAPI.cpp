#include "Networking/SessionFeedbackAPI.h"


#include <utility>

namespace vellamor {

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
    BearerReply reply = co_await BearerActionCall::send<SessionFeedbackAPIError>(
        std::move(bearer), QStringLiteral("session.feedback"), AnyEncodable(std::move(request)), std::move(stop));
    co_return co_await BearerActionCall::receive<SessionFeedbackAPIError, SessionFeedbackResponse>(
        std::move(reply), KeyCasing::fromSnakeCase);
}

} // namespace vellamor
