#pragma once

#include "Support/Async/Channel.h"
#include "Support/Async/MainThread.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace vellamor {

// A thread of its own that runs jobs one at a time, in the order they were
// given, for work too long for the main thread (a large record sealed and
// written, say). A job starts when run() is called, not when its result is
// awaited, so a later call's job always sees what an earlier one did, and
// results come back in call order. Destroying the worker runs every job
// already given, then joins the thread.
class SerialWorker {
public:
    // `name` is the thread's name as tools show it (at most 15 bytes).
    explicit SerialWorker(const QString& name);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // The process's worker for work that belongs to no object of its own
    // (encoding a large request, say); started at its first use.
    static SerialWorker& shared();

    // `job` runs on the worker; its result, or what it threw, comes back on
    // a later turn of the caller's event loop. The job must not touch
    // anything the caller's thread may change meanwhile. Keep the call out
    // of a co_await expression (`auto work = worker.run(...); co_await
    // std::move(work);`): GCC 12 destroys a lambda temporary there twice.
    template<typename Job>
    QCoro::Task<std::invoke_result_t<Job&>> run(Job job)
    {
        using T = std::invoke_result_t<Job&>;
        using Box = std::conditional_t<std::is_void_v<T>, bool, T>;
        Channel<Box> answer;
        // Handed over on the caller's thread, in the order the jobs ended: a
        // result the worker pushed itself could be there before its call
        // first looks, and that call would go on at once, ahead of an
        // earlier one still waiting to be woken.
        post([answer, caller = QPointer<QObject>(currentThreadContext()), job = std::move(job)]() mutable {
            std::function<void()> handOver;
            try {
                if constexpr (std::is_void_v<T>) {
                    job();
                    handOver = [answer] {
                        answer.push(true);
                        answer.finish();
                    };
                } else {
                    handOver = [answer, result = std::make_shared<Box>(job())] {
                        answer.push(std::move(*result));
                        answer.finish();
                    };
                }
            } catch (...) {
                handOver = [answer, error = std::current_exception()] { answer.finish(error); };
            }
            postTo(caller.data(), std::move(handOver));
        });
        return awaitAnswer<T>(std::move(answer));
    }

private:
    template<typename T, typename Box>
    static QCoro::Task<T> awaitAnswer(Channel<Box> answer)
    {
        auto result = co_await answer.next();
        if constexpr (!std::is_void_v<T>)
            co_return std::move(*result);
    }

    void post(std::function<void()> job);
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vellamor
