#pragma once

#include "DevHttpRequest.h"

#include <QJsonValue>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace vellamor::devbackend {

// One remote-procedure call as a handler sees it.
struct ApiCall {
    QString action;
    QJsonValue data; // the request's "data" (Undefined when the member was absent)
    const DevHttpRequest& request;

    // The bearer token of the "Authorization" header: none without the
    // header, without the "Bearer " prefix or when the token is empty,
    // because no action accepts an empty token as an account.
    std::optional<QString> bearerToken() const;
};

// A JSON integer exactly; a fraction, a string or a Boolean is none.
std::optional<qint64> exactInteger(const QJsonValue& value);

// What a handler answers: {"code", "msg", "data"} with an HTTP status
// (200 unless the handler says otherwise). No `data` leaves the member out.
// A `delay` holds the answer back that long (a slow server).
struct ApiReply {
    qint64 code = 0;
    QString msg = QStringLiteral("ok");
    std::optional<QJsonValue> data;
    int httpStatus = 200;
    std::chrono::milliseconds delay{0};

    static ApiReply success(QJsonValue data) { return ApiReply{0, QStringLiteral("ok"), std::move(data), 200, {}}; }
    // Success without a "data" member.
    static ApiReply done() { return ApiReply{0, QStringLiteral("ok"), std::nullopt, 200, {}}; }
    static ApiReply failure(qint64 code, QString msg, int httpStatus = 200)
    {
        return ApiReply{code, std::move(msg), std::nullopt, httpStatus, {}};
    }
    static ApiReply badRequest(QString detail = QStringLiteral("bad request"))
    {
        return failure(40001, std::move(detail));
    }
    // A bearer-token action called without a token.
    static ApiReply unauthorized() { return failure(40100, QStringLiteral("unauthorized"), 401); }
};

// One handler per action name, registered with DevServer::registerAction.
using ActionHandler = std::function<ApiReply(const ApiCall&)>;

} // namespace vellamor::devbackend
