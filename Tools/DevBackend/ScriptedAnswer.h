#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>
#include <utility>

namespace vellamor::devbackend {

// An answer a test puts in place of the normal handling of the next matching
// request(s). Scripts are kept in a queue; a request takes the first script
// that matches it. Either in-process (DevServer::script) or over HTTP with a
// POST of the JSON form (see fromJson) to "/test/script".
struct ScriptedAnswer {
    static constexpr int unlimited = -1;

    // Matching: an empty path matches every path; an empty action matches
    // every request, a set one only remote-procedure calls of that action.
    QString path;
    QString action;
    // How many requests this script answers; `unlimited` keeps it.
    int times = 1;

    // What happens, in this order: wait `delay`; then either drop the
    // connection without an answer, or answer. The answer is `status` with
    // `body` and `headers`; a `redirectTo` adds a Location header (and makes
    // the default status 307). A `trickle` interval sends the body one byte
    // at a time at that pace after the header block.
    std::chrono::milliseconds delay{0};
    bool drop = false;
    std::optional<int> status;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QString redirectTo;
    std::optional<std::chrono::milliseconds> trickle;

    bool matches(const QString& requestPath, const std::optional<QString>& requestAction) const
    {
        if (!path.isEmpty() && path != requestPath)
            return false;
        if (!action.isEmpty() && (!requestAction || *requestAction != action))
            return false;
        return true;
    }

    int effectiveStatus() const { return status.value_or(redirectTo.isEmpty() ? 200 : 307); }

    // {"path", "action", "times", "delay_ms", "drop", "status", "headers":
    // {name: value}, "body" (text) or "json" (any JSON value, sent as
    // application/json), "redirect_to", "trickle_ms"}; all optional. Returns
    // none with `error` set for a malformed script.
    static std::optional<ScriptedAnswer> fromJson(const QJsonObject& object, QString* error);
};

} // namespace vellamor::devbackend
