#pragma once

#include "Networking/AccessTokenProvider.h"
#include "Networking/BearerActionCall.h"
#include "Networking/HTTPSession.h"
#include "Networking/SessionFeedbackAPIError.h"
#include "Networking/SessionFeedbackAPIProtocol.h"
#include "Networking/UnauthorizedHandler.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "session.feedback". Each call fetches a fresh token, sends
// one request with a 10 s time-out and maps the answer:
// - the shared failures of BearerActionCall (no token, HTTP 401 after
//   telling the handler, other HTTP errors, the session's own errors);
// - the body is decoded once, whole, as an envelope whose "data", when
//   present, must be {"ok": Boolean} (reply keys are read through the
//   snake_case-to-camelCase conversion); otherwise network("响应解析失败"),
//   whatever the code;
// - code 40100…40103: the handler is told and awaited, then network("登录已过期");
// - any other non-zero code, 42902 included: server(code, msg);
// - code 0: the "data", "ok": false included, or network("空响应") when
//   absent or null.
// No logging, no retry, no state between calls. Main thread only.
class SessionFeedbackAPI final : public QObject, public SessionFeedbackAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    SessionFeedbackAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                       std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent = nullptr);

    QCoro::Task<SessionFeedbackResponse> submitFeedback(SessionFeedbackRequest request,
                                                        std::stop_token stop = {}) override;

private:
    static QCoro::Task<SessionFeedbackResponse> call(BearerActionCall bearer, SessionFeedbackRequest request,
                                                     std::stop_token stop);

    // Copied into each call, so a call may outlive the client.
    BearerActionCall bearer_;
};

} // namespace vellamor
