#pragma once

#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace vellamor::platform {

// The one thread of this process that calls libatspi, which is not
// thread-safe and whose calls block until the application asked has
// answered (or libatspi's time-out passed). It runs a GLib main loop of its
// own, which serves libatspi's connection and its events between jobs.
// Started at first use, for the process's life.
class AtspiWorker {
public:
    static std::shared_ptr<AtspiWorker> shared();

    AtspiWorker();
    ~AtspiWorker();
    AtspiWorker(const AtspiWorker&) = delete;
    AtspiWorker& operator=(const AtspiWorker&) = delete;

    // False when libatspi could not reach the bus.
    bool isConnected() const { return connected_; }

    // Runs `job` on the worker, after every job posted before it. From any thread.
    void post(std::function<void()> job);

    // `job`'s result, back on the caller's thread; none when it has not
    // come within `limit`. A job whose caller gave up before it started is
    // skipped, so that calls to a hung application do not pile up behind
    // each other; one already running finishes, and its answer is dropped.
    template<typename T>
    QCoro::Task<std::optional<T>> ask(std::function<T()> job, std::chrono::milliseconds limit)
    {
        Channel<T> answer;
        post([answer, job = std::move(job)] {
            if (!answer.isTerminated())
                answer.push(job());
        });
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [answer] { answer.finish(); });
        timer.start(limit);
        co_return co_await answer.next();
    }

private:
    struct Loop;

    std::unique_ptr<Loop> loop_;
    std::thread thread_;
    bool connected_ = false;
};

} // namespace vellamor::platform
