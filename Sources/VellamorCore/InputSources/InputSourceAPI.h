#pragma once

#include "InputSources/InputSourceAPIError.h"
#include "InputSources/InputSourceAPIProtocol.h"
#include "Logging/VellamorLog.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/BearerActionCall.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QJsonObject>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor {

// The client of the "inputSource.*" actions: one POST per operation to the
// API base URL + "v1/api.json" with a 10 s time-out, "Content-Type" and the
// bearer token as its headers, keys on the wire exactly as written. Nothing
// is cached; a call may outlive the client that started it.
//
// Each call logs "calling <action>" (" (anonymous)" appended for status),
// then fails with InputSourceAPIError, logging a warning, when:
// - the token is missing or empty: missingToken, before any request, no warning;
// - the answer is not HTTP: transport("invalid response");
// - HTTP 401: the unauthorised handler is told tokenInvalid with the refused
//   token and awaited, then unauthorized (the anonymous call has no such
//   branch: 401 is like any other status);
// - HTTP ≥ 400: transport("HTTP <status>"); the body is not read;
// - the envelope (code, msg, the operation's data) does not decode:
//   decodingFailed with the decoder's description;
// - code 40100…40103: the handler is told the code's reason, then
//   unauthorized (anonymous call: an ordinary business error);
// - any other code but 0: business(code, msg);
// - no data where the operation needs a record (create, list, status):
//   decodingFailed("empty data"); revoke and confirm succeed without it.
// Errors of the HTTP session itself pass through unchanged.
class InputSourceAPI final : public InputSourceAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    InputSourceAPI(QUrl baseURL, QUrl pairingBaseURL, std::shared_ptr<HTTPSession> session,
                   AccessTokenProvider tokenProvider, std::shared_ptr<UnauthorizedHandler> unauthorizedHandler,
                   VellamorLog log = defaultLog());

    // Subsystem "com.vellamor.app", category "input-source-api".
    static VellamorLog defaultLog();

    // The pairing page address for `code`: `baseURL` with the path "/pair"
    // and the single query item "code" (percent-encoded), replacing any path
    // and query of the base; scheme, user, host, port and fragment stay. An
    // unusable base is replaced by AppConfig's default API base URL.
    static QString buildQRURL(const QString& code, const QUrl& baseURL);

    // "inputSource.createPairing" {} → "code" and "expires_at", both required;
    // the answer's Date header, when it reads as one, is when it was issued.
    QCoro::Task<PairingInfo> createPairing() override;
    // "inputSource.list" {} → "items" in server order ([] when absent or null).
    QCoro::Task<QList<InputSource>> list() override;
    // "inputSource.revoke" {"source_id"}.
    QCoro::Task<void> revoke(qint64 id) override;
    // "inputSource.confirmPairing" {"source_id", "accept" (a JSON Boolean)}.
    QCoro::Task<void> confirmPairing(qint64 sourceID, bool accept) override;
    // "inputSource.status" {"source_token"} → "status"; sends no access token.
    QCoro::Task<QString> status(QString sourceToken) override;

private:
    struct Call;

    Call makeCall(QString action, QJsonObject payload, bool anonymous) const;
    // The body of an answer below HTTP 400 (401 aside for an authorised call).
    static QCoro::Task<BearerReply> send(Call call);
    // The reply's data, or none when it has none; T decodes with fromJson.
    template<typename T>
    static QCoro::Task<std::optional<T>> interpret(Call call, BearerReply reply);
    template<typename T>
    static QCoro::Task<T> requireData(Call call, BearerReply reply);

    BearerActionCall bearer_;
    QUrl pairingBaseURL_;
    VellamorLog log_;
};

} // namespace vellamor
