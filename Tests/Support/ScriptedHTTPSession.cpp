#include "ScriptedHTTPSession.h"

#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <stdexcept>
#include <utility>

namespace vellamor::test {

ScriptedHTTPSession& ScriptedHTTPSession::respond(int status, QByteArray body, HTTPHeaders headers)
{
    Answer answer;
    answer.result.data = std::move(body);
    answer.result.response.statusCode = status;
    answer.result.response.headers = std::move(headers);
    return enqueue(std::move(answer));
}

ScriptedHTTPSession& ScriptedHTTPSession::respondNonHTTP(QByteArray body)
{
    Answer answer;
    answer.result.data = std::move(body);
    return enqueue(std::move(answer));
}

ScriptedHTTPSession& ScriptedHTTPSession::fail(std::exception_ptr error)
{
    Answer answer;
    answer.error = std::move(error);
    return enqueue(std::move(answer));
}

ScriptedHTTPSession& ScriptedHTTPSession::respondWith(std::function<HTTPResult(const HTTPRequest&)> responder)
{
    Answer answer;
    answer.responder = std::move(responder);
    return enqueue(std::move(answer));
}

ScriptedHTTPSession& ScriptedHTTPSession::after(std::chrono::milliseconds delay)
{
    if (answers_.empty())
        throw std::logic_error("ScriptedHTTPSession::after: nothing scripted yet");
    answers_.back().delay = delay;
    return *this;
}

ScriptedHTTPSession& ScriptedHTTPSession::enqueue(Answer answer)
{
    answers_.push_back(std::move(answer));
    return *this;
}

QCoro::Task<HTTPResult> ScriptedHTTPSession::data(HTTPRequest request, std::stop_token token)
{
    requests_.append(request);
    if (answers_.empty())
        throw std::logic_error("ScriptedHTTPSession: no answer scripted for this request");

    // Taken at once, so concurrent calls get their answers in call order.
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (!co_await sleepFor(answer.delay, token))
        throw CancellationError();

    if (answer.responder)
        co_return answer.responder(request);
    if (answer.error)
        std::rethrow_exception(answer.error);
    if (answer.result.response.url.isEmpty())
        answer.result.response.url = request.url;
    co_return answer.result;
}

} // namespace vellamor::test
