#pragma once

#include "Account/UsageAPIError.h"
#include "Logging/VellamorLog.h"
#include "Networking/APIResponseEnvelope.h"
#include "Networking/AnyEncodable.h"
#include "Networking/BearerActionCall.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <utility>

namespace vellamor {

// One call of the usage-and-plan or the wallet client. "fetching <action>"
// is logged first; every failure the call finds itself is logged as the
// warning "fetch <action> failed: <what>" and thrown as a UsageAPIError:
// - no or an empty token: missingToken (nothing more logged, nothing sent);
// - payload not encodable: encodingFailed (nothing logged, nothing sent);
// - the session's own errors pass unchanged, unlogged;
// - not HTTP: "invalid response", transport("invalid response");
// - HTTP 401: "HTTP 401 unauthorized", then the handler is told (tokenInvalid)
//   and awaited, then unauthorized; the body is not read;
// - another status ≥ 400: "HTTP <status>", transport("HTTP <status>");
// - below 400 the body must be an envelope whose present "data" decodes as
//   R: else "decoding error <description>", decodingFailed(description);
// - code 40100…40103: "auth failure code <code>", the handler told with the
//   code's reason and awaited, then unauthorized;
// - code 42902, when `quotaRefusals`: "quota exhausted: <msg>",
//   quotaExhausted(msg);
// - another code ≠ 0: "business error <code>: <msg>", business(code, msg);
// - code 0 without "data": "empty data", decodingFailed("empty data").
// Otherwise "fetch <action> success" is logged and the record returned.
// The request carries no "Accept" header, and the payload's keys go out as
// spelt.
struct UsageActionCall {
    BearerActionCall bearer;
    VellamorLog log;
    QString action;
    bool quotaRefusals = false;

    template<typename R>
    static QCoro::Task<R> fetch(UsageActionCall call, AnyEncodable payload)
    {
        call.log.info(QStringLiteral("fetching ") + call.action);
        call.bearer.keys = KeyCasing::unchanged;
        call.bearer.acceptsJson = false;
        BearerReply reply = co_await BearerActionCall::exchange(call.bearer, call.action, std::move(payload), {}, call);

        APIResponseEnvelope<R> envelope;
        try {
            envelope = APIResponseEnvelope<R>::decode(reply.body);
        } catch (const Error& error) {
            throw call.failed(QStringLiteral("decoding error ") + error.errorDescription(),
                              UsageAPIError::decodingFailed(error.errorDescription()));
        }
        co_await judge(call, std::move(reply), envelope.code, envelope.msg, envelope.data.has_value());
        co_return std::move(*envelope.data);
    }

    // The failures of BearerActionCall::exchange, in these clients' terms.
    UsageAPIError missingToken() const;
    UsageAPIError encodingFailed() const;
    UsageAPIError invalidResponse() const;
    UsageAPIError unauthorizedStatus() const;
    UsageAPIError errorStatus(int status) const;

private:
    // Logs the failure, returns `error` to throw.
    UsageAPIError failed(const QString& what, UsageAPIError error) const;
    // Everything after decoding: returns when the reply is a success.
    static QCoro::Task<void> judge(UsageActionCall call, BearerReply reply, qint64 code, QString msg, bool hasData);
};

} // namespace vellamor
