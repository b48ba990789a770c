#pragma once

#include "Support/Async/Channel.h"

#include <QList>

#include <exception>
#include <variant>

namespace vellamor::test {

// Calls that wait until the test answers them, in any order: `calls[i]`
// carries the i-th call's answer.
template<typename T>
class AnsweredCalls {
public:
    QList<Channel<std::variant<T, std::exception_ptr>>> calls;

    void answer(qsizetype call, T value) { calls.at(call).push(std::move(value)); }
    template<typename Error>
    void fail(qsizetype call, const Error& error)
    {
        calls.at(call).push(std::make_exception_ptr(error));
    }

    // Fails every call still waiting, so that none outlives the test; an
    // answered call ignores it.
    template<typename Error>
    void failWaiting(const Error& error)
    {
        for (const auto& call : calls)
            call.push(std::make_exception_ptr(error));
    }

    QCoro::Task<T> wait()
    {
        Channel<std::variant<T, std::exception_ptr>> channel;
        calls.append(channel);
        auto answer = co_await channel.next();
        if (auto* error = std::get_if<std::exception_ptr>(&*answer))
            std::rethrow_exception(*error);
        co_return std::get<T>(std::move(*answer));
    }
};

} // namespace vellamor::test
