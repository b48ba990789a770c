#include "Support/Async/MainThread.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "Support/Error.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using vellamor::runBlocking;
using vellamor::sleepFor;
using vellamor::TaskHandle;

namespace {

struct Boom : std::runtime_error {
    Boom() : std::runtime_error("boom") {}
};

QCoro::Task<int> throwsAfterSleep()
{
    co_await sleepFor(1ms);
    throw Boom();
}

} // namespace

TEST(SleepFor, CompletesWithTrueAfterTheDuration)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(runBlocking(sleepFor(30ms)));
    EXPECT_GE(clock.elapsed(), 29);
}

TEST(SleepFor, CancelDuringSleepReturnsEarlyWithFalse)
{
    std::stop_source source;
    QTimer::singleShot(10ms, [&] { source.request_stop(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(runBlocking(sleepFor(5s, source.get_token()), 2s));
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST(SleepFor, AlreadyCancelledTokenReturnsFalseWithoutWaiting)
{
    std::stop_source source;
    source.request_stop();
    auto task = sleepFor(5s, source.get_token());
    EXPECT_TRUE(task.isReady());
    EXPECT_FALSE(runBlocking(std::move(task)));
}

TEST(SleepFor, CancelFromAnotherThreadResumesOnTheSleepersThread)
{
    std::stop_source source;
    QThread* resumedOn = nullptr;
    auto sleeper = [&]() -> QCoro::Task<bool> {
        const bool completed = co_await sleepFor(5s, source.get_token());
        resumedOn = QThread::currentThread();
        co_return completed;
    };
    std::thread canceller([&] {
        std::this_thread::sleep_for(10ms);
        source.request_stop();
    });
    EXPECT_FALSE(runBlocking(sleeper(), 2s));
    canceller.join();
    EXPECT_EQ(resumedOn, QThread::currentThread());
}

TEST(RunBlocking, RethrowsTheTasksException)
{
    EXPECT_THROW(runBlocking(throwsAfterSleep()), Boom);
}

TEST(RunBlocking, TimesOutAndLeavesTheTaskToFinishLater)
{
    std::stop_source source;
    bool finished = false;
    auto slow = [&]() -> QCoro::Task<void> {
        co_await sleepFor(10s, source.get_token());
        finished = true;
    };
    EXPECT_THROW(runBlocking(slow(), 20ms), vellamor::RunBlockingTimeout);
    EXPECT_FALSE(finished);
    // Let the abandoned task end so it is not leaked.
    source.request_stop();
    runBlocking(sleepFor(5ms));
    EXPECT_TRUE(finished);
}

TEST(TaskHandle, CancelReachesTheBodysTokenAndJoinWaitsForTheEnd)
{
    bool sawStop = false;
    auto handle = TaskHandle::start([&](std::stop_token token) -> QCoro::Task<void> {
        const bool completed = co_await sleepFor(10s, token);
        sawStop = !completed && token.stop_requested();
    });
    EXPECT_FALSE(handle.isFinished());
    EXPECT_FALSE(handle.isCancelled());
    handle.cancel();
    EXPECT_TRUE(handle.isCancelled());
    runBlocking(handle.join(), 2s);
    EXPECT_TRUE(handle.isFinished());
    EXPECT_TRUE(sawStop);
}

TEST(TaskHandle, JoinRethrowsWhatEscapedTheBody)
{
    auto handle = TaskHandle::start([](std::stop_token) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
        throw Boom();
    });
    EXPECT_THROW(runBlocking(handle.join()), Boom);
    // A second join sees the same ending.
    EXPECT_THROW(runBlocking(handle.join()), Boom);
}

TEST(TaskHandle, SeveralJoinersAreAllWoken)
{
    auto handle = TaskHandle::start([](std::stop_token token) -> QCoro::Task<void> { co_await sleepFor(5ms, token); });
    int woken = 0;
    auto joiner = [&]() -> QCoro::Task<void> {
        co_await handle.join();
        ++woken;
    };
    auto first = joiner();
    auto second = joiner();
    runBlocking(handle.join());
    runBlocking(sleepFor(1ms));
    EXPECT_EQ(woken, 2);
}

TEST(TaskHandle, DroppingEveryHandleNeitherCancelsNorStopsTheTask)
{
    bool finished = false;
    std::stop_token seen;
    TaskHandle::start([&](std::stop_token token) -> QCoro::Task<void> {
        seen = token;
        co_await sleepFor(5ms, token);
        finished = true;
    });
    runBlocking(sleepFor(30ms));
    EXPECT_TRUE(finished);
    EXPECT_FALSE(seen.stop_requested());
}

TEST(MainThreadHandOff, WorkPostedFromAWorkerRunsOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::vector<QThread*> threads;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            vellamor::postToMainThread([&, i] {
                order.push_back(i);
                threads.push_back(QThread::currentThread());
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty()); // never inline
    runBlocking(sleepFor(1ms));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    for (auto* thread : threads)
        EXPECT_EQ(thread, QThread::currentThread());
}
