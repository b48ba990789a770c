#include "QtPrinters.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/SharedTask.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <QString>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::chrono_literals;
using vellamor::runBlocking;
using vellamor::SharedTask;
using vellamor::sleepFor;

namespace {

struct RefreshFailed : std::runtime_error {
    RefreshFailed() : std::runtime_error("refresh failed") {}
};

// Awaits `task` and records the value or that it threw.
QCoro::Task<void> await(SharedTask<int> task, std::optional<int>& value, bool& threw, std::stop_token token = {})
{
    try {
        value = co_await task.value(token);
    } catch (...) {
        threw = true;
    }
}

} // namespace

TEST(SharedTask, TwoAwaitersShareOneRunAndItsResult)
{
    int runs = 0;
    auto task = SharedTask<int>::start([&](std::stop_token token) -> QCoro::Task<int> {
        ++runs;
        co_await sleepFor(10ms, token);
        co_return 41 + runs;
    });
    std::optional<int> a, b;
    bool aThrew = false, bThrew = false;
    auto first = await(task, a, aThrew);
    auto second = await(task, b, bThrew);
    runBlocking(task.value());
    runBlocking(sleepFor(1ms));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(a, 42);
    EXPECT_EQ(b, 42);
    // Awaiting a finished task gives the same answer without another run.
    EXPECT_EQ(runBlocking(task.value()), 42);
    EXPECT_EQ(runs, 1);
}

TEST(SharedTask, EveryAwaiterGetsTheWholeResultNotAMovedFromOne)
{
    auto task = SharedTask<QString>::start([](std::stop_token token) -> QCoro::Task<QString> {
        co_await sleepFor(1ms, token);
        co_return QStringLiteral("fresh-access-token");
    });
    EXPECT_EQ(runBlocking(task.value()), QStringLiteral("fresh-access-token"));
    EXPECT_EQ(runBlocking(task.value()), QStringLiteral("fresh-access-token"));
}

TEST(SharedTask, TwoAwaitersBothReceiveItsSingleError)
{
    int runs = 0;
    auto task = SharedTask<int>::start([&](std::stop_token token) -> QCoro::Task<int> {
        ++runs;
        co_await sleepFor(5ms, token);
        throw RefreshFailed();
    });
    std::optional<int> a;
    bool aThrew = false;
    auto first = await(task, a, aThrew);
    EXPECT_THROW(runBlocking(task.value()), RefreshFailed);
    runBlocking(sleepFor(1ms));
    EXPECT_TRUE(aThrew);
    EXPECT_EQ(runs, 1);
}

TEST(SharedTask, CancelStopsTheOperationForEveryAwaiter)
{
    auto task = SharedTask<int>::start([](std::stop_token token) -> QCoro::Task<int> {
        if (!co_await sleepFor(10s, token))
            throw vellamor::CancellationError();
        co_return 1;
    });
    QTimer::singleShot(5ms, [task] { task.cancel(); });
    EXPECT_THROW(runBlocking(task.value(), 2s), vellamor::CancellationError);
    EXPECT_TRUE(task.isFinished());
}

TEST(SharedTask, ACancelledAwaiterLeavesWhileTheOthersGetTheResult)
{
    auto task = SharedTask<int>::start([](std::stop_token token) -> QCoro::Task<int> {
        co_await sleepFor(30ms, token);
        co_return 7;
    });
    std::stop_source leaver;
    std::optional<int> left;
    bool leftThrew = false;
    auto leaving = await(task, left, leftThrew, leaver.get_token());
    QTimer::singleShot(5ms, [&] { leaver.request_stop(); });
    EXPECT_EQ(runBlocking(task.value(), 2s), 7);
    EXPECT_TRUE(leftThrew);
    EXPECT_FALSE(left.has_value());
}
