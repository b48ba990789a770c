#pragma once

#include <QCoro/QCoroTask>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace vellamor {

// How an awaited operation ended: its value, or what it threw. For callers
// that must check their own state again after the wait (is the owner still
// there, was the step superseded) before a failure means anything.
template<typename T>
struct Outcome {
    std::optional<T> value;
    std::exception_ptr failure;
};

template<>
struct Outcome<void> {
    std::exception_ptr failure;
};

template<typename T>
QCoro::Task<Outcome<T>> outcomeOf(QCoro::Task<T> task)
{
    Outcome<T> outcome;
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            outcome.value = co_await std::move(task);
    } catch (...) {
        outcome.failure = std::current_exception();
    }
    co_return outcome;
}

} // namespace vellamor
