#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace vellamor {

class RunBlockingTimeout : public std::runtime_error {
public:
    RunBlockingTimeout() : std::runtime_error("runBlocking: task did not finish in time") {}
};

namespace detail {
template<typename T>
struct BlockingState {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    std::exception_ptr error;
    bool finished = false;
    QEventLoop* loop = nullptr;
};

template<typename T>
QCoro::Task<void> driveBlocking(QCoro::Task<T> task, std::shared_ptr<BlockingState<T>> state)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            state->value.emplace(true);
        } else {
            state->value.emplace(co_await std::move(task));
        }
    } catch (...) {
        state->error = std::current_exception();
    }
    state->finished = true;
    if (state->loop)
        state->loop->quit();
}
} // namespace detail

// Runs the event loop until `task` ends and returns its result or rethrows its
// exception; throws RunBlockingTimeout when it has not ended in time. For
// tests and main() glue only: product code never nests event loops. A task
// that timed out may still resume later; it writes only into shared state.
// The default is the tests' hang ceiling: a loaded machine never reaches it.
template<typename T>
T runBlocking(QCoro::Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    auto state = std::make_shared<detail::BlockingState<T>>();
    detail::driveBlocking<T>(std::move(task), state);
    if (!state->finished) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeout);
        state->loop = &loop;
        loop.exec();
        state->loop = nullptr;
    }
    if (!state->finished)
        throw RunBlockingTimeout();
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*state->value);
}

} // namespace vellamor
