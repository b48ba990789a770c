#include "Networking/TextTransformAPI.h"

#include "Networking/APIResponseEnvelope.h"
#include "Networking/CodeOnlyEnvelope.h"

#include <QMap>

#include <utility>

namespace vellamor {

namespace {

constexpr qint64 quotaExhaustedCode = 42902;

TextTransformAPIError quotaRefusal(const QByteArray& body, const QString& msg)
{
    try {
        const auto refusal = APIResponse<QMap<QString, QString>>::decode(body);
        if (refusal.data && refusal.data->value(QStringLiteral("kind")) == u"points_balance")
            return TextTransformAPIError::pointsBalanceExhausted();
    } catch (const Error&) {
    }
    return TextTransformAPIError::quotaExhausted(msg);
}

} // namespace

TextTransformAPI::TextTransformAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session,
                                   AccessTokenProvider tokenProvider,
                                   std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent)
    : QObject(parent)
    , bearer_{std::move(baseURL), std::move(session), std::move(tokenProvider), std::move(unauthorizedHandler),
              requestTimeout}
{
}

QCoro::Task<TextTransformResponse> TextTransformAPI::transform(TextTransformRequest request, std::stop_token stop)
{
    return call(bearer_, std::move(request), std::move(stop));
}

QCoro::Task<TextTransformResponse> TextTransformAPI::call(BearerActionCall bearer, TextTransformRequest request,
                                                          std::stop_token stop)
{
    BearerReply reply = co_await BearerActionCall::send<TextTransformAPIError>(
        std::move(bearer), QStringLiteral("text.transform"), AnyEncodable(std::move(request)), std::move(stop));
    co_return co_await interpretReply(std::move(reply));
}

QCoro::Task<TextTransformResponse> TextTransformAPI::interpretReply(BearerReply reply)
{
    const QByteArray& body = reply.body;
    CodeOnlyEnvelope head;
    try {
        head = CodeOnlyEnvelope::decode(body);
    } catch (const Error&) {
        throw TextTransformAPIError::network(QStringLiteral("响应解析失败"));
    }

    if (BearerActionCall::endsSession(head.code))
        co_await BearerActionCall::endSession<TextTransformAPIError>(reply, AuthUnauthorizedReason::from(head.code));
    if (head.code == quotaExhaustedCode)
        throw quotaRefusal(body, head.msg);
    if (head.code != 0)
        throw TextTransformAPIError::server(head.code, head.msg);

    std::optional<TextTransformResponse> data;
    try {
        data = APIResponseEnvelope<TextTransformResponse>::decode(body).data;
    } catch (const Error&) {
        throw TextTransformAPIError::network(QStringLiteral("响应解析失败"));
    }
    if (!data)
        throw TextTransformAPIError::network(QStringLiteral("空响应"));
    co_return std::move(*data);
}

} // namespace vellamor
