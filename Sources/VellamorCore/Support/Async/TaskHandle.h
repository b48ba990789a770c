#pragma once

#include <QCoro/QCoroTask>

#include <exception>
#include <functional>
#include <memory>
#include <stop_token>

namespace vellamor {

// A started coroutine together with the stop source that cancels it. Copies
// share the same task. Dropping every handle neither cancels nor destroys the
// task: it runs to its end, as an unstructured task does.
class TaskHandle {
public:
    using Body = std::function<QCoro::Task<void>(std::stop_token)>;

    TaskHandle() = default;

    // Starts `body` at once; it runs until its first suspension before start() returns.
    static TaskHandle start(Body body);

    // Asks the task to stop; it decides how (usually at its next await).
    void cancel() const;
    bool isCancelled() const;
    bool isFinished() const;
    bool isValid() const { return static_cast<bool>(state_); }

    // Waits for the task's end and rethrows an exception that escaped it.
    // Joining an empty handle returns at once.
    QCoro::Task<void> join() const;

private:
    struct State;
    static QCoro::Task<void> run(std::shared_ptr<State> state, Body body);

    std::shared_ptr<State> state_;
};

} // namespace vellamor
