#pragma once

#include "Networking/AccessTokenProvider.h"
#include "Networking/BearerActionCall.h"
#include "Networking/HTTPSession.h"
#include "Networking/TextTransformAPIError.h"
#include "Networking/TextTransformAPIProtocol.h"
#include "Networking/UnauthorizedHandler.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "text.transform". Each call fetches a fresh token, sends one
// request with a 30 s time-out and maps the answer:
// - the shared failures of BearerActionCall (no token, HTTP 401 after
//   telling the handler, other HTTP errors, the session's own errors);
// - no envelope with integer "code" and string "msg": network("响应解析失败");
// - code 40100…40103: the handler is told and awaited, then network("登录已过期");
// - code 42902: pointsBalanceExhausted when "data" is a string-to-string map
//   whose "kind" is exactly "points_balance", else quotaExhausted(msg);
// - any other non-zero code (40104 included): server(code, msg);
// - code 0: the reply's "data", or network("响应解析失败") when it is not a
//   valid reply record and network("空响应") when absent or null.
// No logging, no retry, no state between calls. Main thread only.
class TextTransformAPI final : public QObject, public TextTransformAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{30};

    TextTransformAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                     std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent = nullptr);

    QCoro::Task<TextTransformResponse> transform(TextTransformRequest request, std::stop_token stop = {}) override;

private:
    static QCoro::Task<TextTransformResponse> call(BearerActionCall bearer, TextTransformRequest request,
                                                   std::stop_token stop);
    // The answer to a request that came back below HTTP 400, as above.
    static QCoro::Task<TextTransformResponse> interpretReply(BearerReply reply);

    // Copied into each call, so a call may outlive the client.
    BearerActionCall bearer_;
};

} // namespace vellamor
