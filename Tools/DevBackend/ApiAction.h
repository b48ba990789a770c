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
    // header or without the "Bearer " prefix; an empty token is kept.
    std::optional<QString> bearerToken() const;
};

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
    static ApiReply failure(qint64 code, QString msg, int httpStatus = 200)
    {
        return ApiReply{code, std::move(msg), std::nullopt, httpStatus, {}};
    }
};

// One handler per action name, registered with DevServer::registerAction.
using ActionHandler = std::function<ApiReply(const ApiCall&)>;

} // namespace vellamor::devbackend
