#pragma once

#include "Networking/HTTPSession.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vellamor::test {

// A fake HTTPSession for client tests: records every request and gives each
// call the next scripted answer, in call order, always on a later turn of
// the event loop (after the answer's delay). A stop request while an answer
// is pending ends the call with CancellationError and uses up that answer.
// A call with nothing scripted throws std::logic_error.
class ScriptedHTTPSession final : public HTTPSession {
public:
    // An HTTP answer; the response URL is the request's.
    ScriptedHTTPSession& respond(int status, QByteArray body)
    {
        answers_.push_back(Answer{nullptr, status, std::move(body)});
        return *this;
    }
    // A response without HTTP status (as for a file URL).
    ScriptedHTTPSession& respondNonHTTP(QByteArray body)
    {
        answers_.push_back(Answer{nullptr, std::nullopt, std::move(body)});
        return *this;
    }
    template<typename E>
    ScriptedHTTPSession& fail(E error)
    {
        answers_.push_back(Answer{std::make_exception_ptr(std::move(error)), std::nullopt, {}});
        return *this;
    }
    // Delays the most recently scripted answer.
    ScriptedHTTPSession& after(std::chrono::milliseconds delay)
    {
        if (answers_.empty())
            throw std::logic_error("ScriptedHTTPSession::after: nothing scripted yet");
        answers_.back().delay = delay;
        return *this;
    }

    // Holds the most recently scripted answer back until `release()`, for
    // tests that need one call to end before another whatever the load.
    ScriptedHTTPSession& held()
    {
        if (answers_.empty())
            throw std::logic_error("ScriptedHTTPSession::held: nothing scripted yet");
        answers_.back().released = std::make_shared<bool>(false);
        held_.push_back(answers_.back().released);
        return *this;
    }
    // Lets every held answer go, also one whose call has not come yet.
    void release()
    {
        for (const std::shared_ptr<bool>& released : std::exchange(held_, {}))
            *released = true;
    }

    const QList<HTTPRequest>& requests() const { return requests_; }

    QCoro::Task<HTTPResult> data(HTTPRequest request, std::stop_token token = {}) override
    {
        requests_.append(request);
        if (answers_.empty())
            throw std::logic_error("ScriptedHTTPSession: no answer scripted for this request");
        // Taken at once, so concurrent calls get their answers in call order.
        const Answer answer = std::move(answers_.front());
        answers_.pop_front();
        if (!co_await sleepFor(answer.delay, token))
            throw CancellationError();
        if (answer.released) {
            while (!*answer.released) {
                if (!co_await sleepFor(std::chrono::milliseconds(1), token))
                    throw CancellationError();
            }
        }
        if (answer.error)
            std::rethrow_exception(answer.error);
        co_return HTTPResult{answer.body, HTTPResponse{request.url, answer.status, {}}};
    }

private:
    struct Answer {
        std::exception_ptr error;
        std::optional<int> status;
        QByteArray body;
        std::chrono::milliseconds delay{0};
        std::shared_ptr<bool> released{};
    };

    QList<HTTPRequest> requests_;
    std::deque<Answer> answers_;
    std::vector<std::shared_ptr<bool>> held_;
};

} // namespace vellamor::test
