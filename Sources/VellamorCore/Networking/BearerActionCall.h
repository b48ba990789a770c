#pragma once

#include "Networking/APIResponseEnvelope.h"
#include "Networking/ActionRequest.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/AnyEncodable.h"
#include "Networking/AuthUnauthorizedReason.h"
#include "Networking/HTTPSession.h"
#include "Networking/KeyCasing.h"
#include "Networking/UnauthorizedHandler.h"
#include "Support/Async/SerialWorker.h"
#include "Support/Json/JsonReader.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

namespace vellamor {

// What a bearer call brings back: the body, what a client needs to report
// a refusal the body announces (the handler and the token this request
// carried, so that the report can be recognised as stale), and the answer's
// header fields.
struct BearerReply {
    QByteArray body;
    QString accessToken;
    std::shared_ptr<UnauthorizedHandler> unauthorizedHandler;
    HTTPHeaders headers;
};

// The failures the clients with the shared network texts (text transform,
// session feedback, preferences, system) find themselves, in the words of
// their `Failure` type, which needs `static Failure network(QString)` (and
// `static Failure server(qint64, QString)` for record()).
template<typename Failure>
struct NetworkFailureTexts {
    Failure missingToken() const { return Failure::network(QStringLiteral("未登录")); }
    Failure encodingFailed() const { return Failure::network(QStringLiteral("请求编码失败")); }
    Failure invalidResponse() const { return Failure::network(QStringLiteral("无效响应")); }
    Failure unauthorizedStatus() const { return Failure::network(QStringLiteral("登录已过期")); }
    Failure errorStatus(int status) const
    {
        return Failure::network(QStringLiteral("HTTP ") + QString::number(status));
    }

    // The whole reply envelope of R, its keys converted by `replyKeys` first;
    // a present "data" must decode as R. Else network("响应解析失败"), the
    // decoder's message dropped.
    template<typename R>
    static APIResponseEnvelope<R> envelope(const QByteArray& body, KeyCasing replyKeys = KeyCasing::unchanged)
    {
        try {
            return APIResponseEnvelope<R>::fromJson(convertingKeys(JsonReader::parse(body).object(), replyKeys), {});
        } catch (const Error&) {
            throw Failure::network(QStringLiteral("响应解析失败"));
        }
    }

    // The record of a success: code ≠ 0 → server(code, msg); no "data" →
    // network("空响应").
    template<typename R>
    static R record(APIResponseEnvelope<R> envelope)
    {
        if (envelope.code != 0)
            throw Failure::server(envelope.code, envelope.msg);
        if (!envelope.data)
            throw Failure::network(QStringLiteral("空响应"));
        return std::move(*envelope.data);
    }
};

// The request pattern of the clients that send the caller's bearer token:
// one POST of {"action", "data"} to base URL + "v1/api.json", screened for
// the failures every such client detects the same way.
//
// Everything a call needs is copied into it, so a call may outlive the
// client that started it.
struct BearerActionCall {
    QUrl baseURL;
    std::shared_ptr<HTTPSession> session;
    AccessTokenProvider tokenProvider;
    std::shared_ptr<UnauthorizedHandler> unauthorizedHandler;
    std::chrono::milliseconds timeout{0};
    // Applied to the payload's keys, nested maps included.
    KeyCasing keys = KeyCasing::toSnakeCase;
    // Whether the request carries "Accept: application/json".
    bool acceptsJson = true;

    // The reply to an HTTP answer below 400 (other than 401). Before that,
    // each failure is thrown as `failures` words it: no or an empty token →
    // missingToken(), nothing sent; payload not encodable → encodingFailed(),
    // nothing sent; the session's own errors unchanged; no HTTP answer →
    // invalidResponse(); HTTP 401 → unauthorizedStatus(), thrown once the
    // handler has been told and has returned; another status ≥ 400 →
    // errorStatus(status). The token is sent as given, untrimmed. The handler
    // hears AuthUnauthorizedReason's reason for the reply and the token that
    // was sent. A member of `failures` may log before it returns its error.
    template<typename Failures>
    static QCoro::Task<BearerReply> exchange(BearerActionCall call, QString action, AnyEncodable payload,
                                             std::stop_token stop, Failures failures)
    {
        std::optional<QString> token;
        if (call.tokenProvider)
            token = co_await call.tokenProvider();
        if (!token || token->isEmpty())
            throw failures.missingToken();

        HTTPRequest request;
        try {
            // Off the main thread: a long history record takes tens of milliseconds.
            auto encoding = SerialWorker::shared().run(
                [request = ActionRequest{std::move(action), std::move(payload), call.keys, token, call.timeout},
                 baseURL = call.baseURL] { return request.to(baseURL); });
            request = co_await std::move(encoding);
        } catch (const std::exception&) {
            throw failures.encodingFailed();
        }
        if (!call.acceptsJson)
            request.headers.remove(QStringLiteral("Accept"));

        HTTPResult result = co_await call.session->data(std::move(request), std::move(stop));

        if (!result.response.isHTTP())
            throw failures.invalidResponse();
        const int status = *result.response.statusCode;
        if (status == 401) {
            auto refusal = failures.unauthorizedStatus();
            co_await report(call.unauthorizedHandler, AuthUnauthorizedReason::http401(), *token);
            throw refusal;
        }
        if (status >= 400)
            throw failures.errorStatus(status);
        co_return BearerReply{std::move(result.data), std::move(*token), std::move(call.unauthorizedHandler),
                              std::move(result.response.headers)};
    }

    // exchange() with the shared network texts: network("未登录"),
    // network("请求编码失败"), network("无效响应"), network("登录已过期") and
    // network("HTTP <status>").
    template<typename Failure>
    static QCoro::Task<BearerReply> send(BearerActionCall call, QString action, AnyEncodable payload,
                                        std::stop_token stop)
    {
        return exchange(std::move(call), std::move(action), std::move(payload), std::move(stop),
                        NetworkFailureTexts<Failure>());
    }

    // The record in a reply of send(), as NetworkFailureTexts reads it, with
    // the session-ending codes judged between decoding and record():
    // code 40100…40103 → endSession.
    template<typename Failure, typename R>
    static QCoro::Task<R> receive(BearerReply reply, KeyCasing replyKeys = KeyCasing::unchanged)
    {
        APIResponseEnvelope<R> envelope = NetworkFailureTexts<Failure>::template envelope<R>(reply.body, replyKeys);
        if (endsSession(envelope.code))
            co_await endSession<Failure>(reply, AuthUnauthorizedReason::from(envelope.code));
        co_return NetworkFailureTexts<Failure>::record(std::move(envelope));
    }

    // The result codes that end the session: 40100 to 40103.
    static bool endsSession(qint64 code) { return code >= 40100 && code <= 40103; }

    // Tells the handler, when there is one, and awaits it.
    static QCoro::Task<void> report(std::shared_ptr<UnauthorizedHandler> handler, AuthAPIError reason,
                                    QString refusedAccessToken)
    {
        if (handler)
            co_await handler->handleUnauthorized(std::move(reason), std::move(refusedAccessToken));
    }

    // The same for a refusal announced in the body of `reply`.
    static QCoro::Task<void> report(const BearerReply& reply, AuthAPIError reason)
    {
        return report(reply.unauthorizedHandler, std::move(reason), reply.accessToken);
    }

    // Tells the handler (awaiting it), then throws network("登录已过期").
    template<typename Failure>
    static QCoro::Task<void> endSession(std::shared_ptr<UnauthorizedHandler> handler, AuthAPIError reason,
                                        QString refusedAccessToken)
    {
        co_await report(std::move(handler), std::move(reason), std::move(refusedAccessToken));
        throw NetworkFailureTexts<Failure>().unauthorizedStatus();
    }

    // The same for a refusal announced in the body of `reply`.
    template<typename Failure>
    static QCoro::Task<void> endSession(const BearerReply& reply, AuthAPIError reason)
    {
        return endSession<Failure>(reply.unauthorizedHandler, std::move(reason), reply.accessToken);
    }
};

} // namespace vellamor
