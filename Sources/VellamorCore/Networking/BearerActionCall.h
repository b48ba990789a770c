#pragma once

#include "Auth/AuthUnauthorizedReason.h"
#include "Networking/ActionRequest.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/AnyEncodable.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <stop_token>
#include <utility>

namespace vellamor {

// The request pattern the text-transform and session-feedback clients share:
// one POST of {"action", "data"} to base URL + "v1/api.json" with the
// caller's bearer token, screened for the failures both clients report the
// same way. `Failure` is the client's error type; it needs
// `static Failure network(QString)`.
//
// Everything a call needs is copied into it, so a call may outlive the
// client that started it.
struct BearerActionCall {
    QUrl baseURL;
    std::shared_ptr<HTTPSession> session;
    AccessTokenProvider tokenProvider;
    std::shared_ptr<UnauthorizedHandler> unauthorizedHandler;
    std::chrono::milliseconds timeout{0};

    // The body of an HTTP answer below 400 (other than 401). Before that:
    // no or an empty token → network("未登录"), nothing sent; payload not
    // encodable → network("请求编码失败"), nothing sent; the session's own
    // errors unchanged; no HTTP answer → network("无效响应"); HTTP 401 → the
    // handler is told and awaited, then network("登录已过期"); another status
    // ≥ 400 → network("HTTP <status>"). The token is sent as given, untrimmed.
    // The handler hears AuthUnauthorizedReason's reason for the reply.
    template<typename Failure>
    static QCoro::Task<QByteArray> send(BearerActionCall call, QString action, AnyEncodable payload,
                                        std::stop_token stop)
    {
        std::optional<QString> token;
        if (call.tokenProvider)
            token = co_await call.tokenProvider();
        if (!token || token->isEmpty())
            throw Failure::network(QStringLiteral("未登录"));

        HTTPRequest request;
        try {
            request = ActionRequest{std::move(action), std::move(payload), KeyCasing::toSnakeCase, token, call.timeout}
                          .to(call.baseURL);
        } catch (const std::exception&) {
            throw Failure::network(QStringLiteral("请求编码失败"));
        }

        HTTPResult result = co_await call.session->data(std::move(request), std::move(stop));

        if (!result.response.isHTTP())
            throw Failure::network(QStringLiteral("无效响应"));
        const int status = *result.response.statusCode;
        if (status == 401)
            co_await endSession<Failure>(call.unauthorizedHandler, AuthUnauthorizedReason::http401());
        if (status >= 400)
            throw Failure::network(QStringLiteral("HTTP ") + QString::number(status));
        co_return std::move(result.data);
    }

    // The result codes that end the session: 40100 to 40103.
    static bool endsSession(qint64 code) { return code >= 40100 && code <= 40103; }

    // Tells the handler (awaiting it), then throws network("登录已过期").
    template<typename Failure>
    static QCoro::Task<void> endSession(std::shared_ptr<UnauthorizedHandler> handler, AuthAPIError reason)
    {
        if (handler)
            co_await handler->handleUnauthorized(std::move(reason));
        throw Failure::network(QStringLiteral("登录已过期"));
    }
};

} // namespace vellamor
