#pragma once

#include "Networking/HTTPSession.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <optional>

namespace vellamor::test {

// A fake HTTPSession for client tests: records every request and gives each
// call the next scripted answer, in call order, always on a later turn of
// the event loop (after the answer's delay). A stop request while an answer
// is pending ends the call with CancellationError and uses up that answer.
// A call with nothing scripted throws std::logic_error.
class ScriptedHTTPSession final : public HTTPSession {
public:
    struct Answer {
        // Exactly one of these three is used, in this order of preference.
        std::function<HTTPResult(const HTTPRequest&)> responder;
        std::exception_ptr error;
        HTTPResult result;
        std::chrono::milliseconds delay{0};
    };

    // An HTTP answer; the response URL is the request's.
    ScriptedHTTPSession& respond(int status, QByteArray body, HTTPHeaders headers = {});
    // A response without HTTP status (as for a file URL).
    ScriptedHTTPSession& respondNonHTTP(QByteArray body);
    ScriptedHTTPSession& fail(std::exception_ptr error);
    template<typename E>
    ScriptedHTTPSession& fail(E error)
    {
        return fail(std::make_exception_ptr(std::move(error)));
    }
    ScriptedHTTPSession& respondWith(std::function<HTTPResult(const HTTPRequest&)> responder);
    // Delays the most recently scripted answer.
    ScriptedHTTPSession& after(std::chrono::milliseconds delay);
    ScriptedHTTPSession& enqueue(Answer answer);

    const QList<HTTPRequest>& requests() const { return requests_; }
    qsizetype pendingAnswers() const { return static_cast<qsizetype>(answers_.size()); }

    QCoro::Task<HTTPResult> data(HTTPRequest request, std::stop_token token = {}) override;

private:
    QList<HTTPRequest> requests_;
    std::deque<Answer> answers_;
};

} // namespace vellamor::test
