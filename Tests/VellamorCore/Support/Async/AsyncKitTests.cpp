#include "QtPrinters.h"
#include "Support/Async/Channel.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Outcome.h"
#include "Support/Async/Published.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/SharedTask.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/Spawn.h"
#include "Support/Async/TaskHandle.h"
#include "Support/Error.h"
#include "WaitUntil.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace vellamor;
using vellamor::test::afterQueuedCalls;
using vellamor::test::hangCeiling;
using vellamor::test::waitUntil;

namespace {

struct Boom : std::runtime_error {
    Boom() : std::runtime_error("boom") {}
};

// Awaits `task` and records the value or that it threw.
template<typename T>
QCoro::Task<void> await(SharedTask<T> task, std::optional<T>& value, bool& threw, std::stop_token token = {})
{
    try {
        value = co_await task.value(token);
    } catch (...) {
        threw = true;
    }
}

// Reads until the end; a finishing error escapes after the values before it were recorded.
QCoro::Task<void> drain(Channel<int> channel, std::vector<int>& into, std::stop_token token = {})
{
    while (auto value = co_await channel.next(token))
        into.push_back(*value);
}

// Records what the escaped-error reporter is told.
struct SpawnTest : ::testing::Test {
    SpawnTest()
    {
        setEscapedErrorReporter([this](const QString& what, const QString& description) {
            reports.append(what + QStringLiteral(": ") + description);
        });
    }
    ~SpawnTest() override { setEscapedErrorReporter(nullptr); }

    QStringList reports;
};

} // namespace

TEST(SleepFor, ReturnsTrueAfterTheDurationAndFalseAtOnceWhenAlreadyCancelled)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(runBlocking(sleepFor(30ms)));
    EXPECT_GE(clock.elapsed(), 29);

    std::stop_source source;
    source.request_stop();
    auto task = sleepFor(5s, source.get_token());
    EXPECT_TRUE(task.isReady());
    EXPECT_FALSE(runBlocking(std::move(task)));
}

TEST(SleepFor, CancelFromAnotherThreadEndsItEarlyOnTheSleepersThread)
{
    std::stop_source source;
    QThread* resumedOn = nullptr;
    auto sleeper = [&]() -> QCoro::Task<bool> {
        const bool completed = co_await sleepFor(5s, source.get_token());
        resumedOn = QThread::currentThread();
        co_return completed;
    };
    // Runs only once the sleeper waits in the loop: the stop comes while it is suspended.
    std::atomic<bool> suspended = false;
    postToMainThread([&suspended] { suspended = true; });
    std::thread canceller([&] {
        while (!suspended)
            std::this_thread::yield();
        source.request_stop();
    });
    EXPECT_FALSE(runBlocking(sleeper(), hangCeiling));
    afterQueuedCalls();
    canceller.join();
    EXPECT_EQ(resumedOn, QThread::currentThread());
}

TEST(RunBlocking, TimesOutAndLeavesTheTaskToFinishLater)
{
    std::stop_source source;
    bool finished = false;
    auto slow = [&]() -> QCoro::Task<void> {
        co_await sleepFor(10s, source.get_token());
        finished = true;
    };
    EXPECT_THROW(runBlocking(slow(), 20ms), RunBlockingTimeout);
    EXPECT_FALSE(finished);
    // Stopped, the abandoned task ends and is not leaked.
    source.request_stop();
    EXPECT_TRUE(waitUntil([&] { return finished; }));
}

TEST(TaskHandle, CancelReachesTheBodysTokenAndEveryJoinerWaitsForTheEnd)
{
    bool sawStop = false;
    auto handle = TaskHandle::start([&](std::stop_token token) -> QCoro::Task<void> {
        const bool completed = co_await sleepFor(10s, token);
        sawStop = !completed && token.stop_requested();
    });
    int otherJoiners = 0;
    auto joiner = [&]() -> QCoro::Task<void> {
        co_await handle.join();
        ++otherJoiners;
    };
    auto first = joiner();
    auto second = joiner();
    EXPECT_FALSE(handle.isCancelled());
    handle.cancel();
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_FALSE(handle.isFinished());
    runBlocking(handle.join(), hangCeiling);
    EXPECT_EVENTUALLY_EQ(otherJoiners, 2);
    EXPECT_TRUE(handle.isFinished());
    EXPECT_TRUE(sawStop);
}

TEST(TaskHandle, JoinRethrowsWhatEscapedTheBodyEveryTime)
{
    auto handle = TaskHandle::start([](std::stop_token) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
        throw Boom();
    });
    EXPECT_THROW(runBlocking(handle.join()), Boom);
    EXPECT_THROW(runBlocking(handle.join()), Boom);
}

TEST_F(SpawnTest, AnEscapedExceptionIsLoggedNotLostThoughNoHandleIsKept)
{
    QObject context;
    spawn(&context, QStringLiteral("history pump"), [](std::stop_token token) -> QCoro::Task<void> {
        if (co_await sleepFor(5ms, token))
            throw std::runtime_error("disk on fire");
    });
    EXPECT_EVENTUALLY_EQ(reports, QStringList { QStringLiteral("history pump: disk on fire") });
}

TEST_F(SpawnTest, DestroyingTheContextCancelsTheTaskAndItsCancellationIsNotLogged)
{
    auto context = std::make_unique<QObject>();
    bool ranOn = false;
    auto handle = spawn(context.get(), QStringLiteral("pump"), [&](std::stop_token token) -> QCoro::Task<void> {
        if (!co_await sleepFor(10s, token))
            throw CancellationError();
        ranOn = true;
    });
    context.reset();
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_NO_THROW(runBlocking(handle.join(), hangCeiling));
    EXPECT_FALSE(ranOn);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(SpawnTest, ATaskThatEndedNoLongerWatchesItsContext)
{
    QObject context;
    auto handle = spawn(&context, QStringLiteral("quick"), [](std::stop_token) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
    });
    runBlocking(handle.join());
    EXPECT_FALSE(QObject::disconnect(&context, &QObject::destroyed, nullptr, nullptr));
}

TEST(SharedTask, AwaitersShareOneRunAndEachGetsTheWholeResult)
{
    int runs = 0;
    auto task = SharedTask<QString>::start([&](std::stop_token token) -> QCoro::Task<QString> {
        ++runs;
        co_await sleepFor(10ms, token);
        co_return QStringLiteral("token-%1").arg(runs);
    });
    std::optional<QString> a, b;
    bool aThrew = false, bThrew = false;
    auto first = await(task, a, aThrew);
    auto second = await(task, b, bThrew);
    runBlocking(task.value());
    // A result moved out to one awaiter would leave the others an empty text.
    EXPECT_EVENTUALLY_EQ(a, QStringLiteral("token-1"));
    EXPECT_EVENTUALLY_EQ(b, QStringLiteral("token-1"));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(runBlocking(task.value()), QStringLiteral("token-1"));
    EXPECT_EQ(runs, 1);
}

TEST(SharedTask, TwoAwaitersBothReceiveItsSingleError)
{
    int runs = 0;
    auto task = SharedTask<int>::start([&](std::stop_token token) -> QCoro::Task<int> {
        ++runs;
        co_await sleepFor(5ms, token);
        throw Boom();
    });
    std::optional<int> a;
    bool aThrew = false;
    auto first = await(task, a, aThrew);
    EXPECT_THROW(runBlocking(task.value()), Boom);
    EXPECT_TRUE(waitUntil([&] { return aThrew; }));
    EXPECT_EQ(runs, 1);
}

TEST(SharedTask, AnAwaiterLeavesAloneButCancelStopsTheOperationForEveryone)
{
    auto task = SharedTask<int>::start([](std::stop_token token) -> QCoro::Task<int> {
        if (!co_await sleepFor(10s, token))
            throw CancellationError();
        co_return 1;
    });
    std::stop_source leaver;
    std::optional<int> left, stayed;
    bool leftThrew = false, stayedThrew = false;
    auto leaving = await(task, left, leftThrew, leaver.get_token());
    auto staying = await(task, stayed, stayedThrew);
    leaver.request_stop();
    EXPECT_TRUE(waitUntil([&] { return leftThrew; }));
    afterQueuedCalls();
    EXPECT_FALSE(stayedThrew);
    EXPECT_FALSE(task.isFinished());
    QTimer::singleShot(5ms, [task] { task.cancel(); });
    EXPECT_THROW(runBlocking(task.value(), hangCeiling), CancellationError);
    EXPECT_TRUE(stayedThrew);
    EXPECT_FALSE(stayed.has_value());
}

TEST(Channel, YieldsEveryValueOrOnlyTheNewestInPushOrder)
{
    struct Case {
        std::optional<std::size_t> keepNewest; // none: unbounded
        std::vector<int> expected;
    };
    const Case cases[] = {
        {std::nullopt, {1, 2, 3, 4, 5}},
        {10, {1, 2, 3, 4, 5}},
        {3, {3, 4, 5}},
        {1, {5}},
        {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keepNewest ? std::to_string(*c.keepNewest) : "unbounded");
        auto channel = c.keepNewest ? Channel<int>::keepingNewest(*c.keepNewest) : Channel<int>();
        for (int i = 1; i <= 5; ++i)
            EXPECT_TRUE(channel.push(i));
        channel.finish();
        std::vector<int> got;
        runBlocking(drain(channel, got));
        EXPECT_EQ(got, c.expected);
    }
}

TEST(Channel, FinishingErrorComesAfterTheBufferedValuesOnceAndOnlyTheFirstFinishCounts)
{
    Channel<int> channel;
    std::vector<ChannelTermination> terminations;
    channel.onTermination([&](ChannelTermination how) { terminations.push_back(how); });
    channel.push(1);
    channel.push(2);
    channel.finish(std::make_exception_ptr(Boom()));
    channel.finish();
    EXPECT_FALSE(channel.push(3));
    EXPECT_EQ(terminations, (std::vector<ChannelTermination>{ChannelTermination::Finished}));
    std::vector<int> got;
    EXPECT_THROW(runBlocking(drain(channel, got)), Boom);
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
    EXPECT_EQ(runBlocking(channel.next()), std::nullopt);
}

TEST(Channel, CancelledConsumerEndsAsNormalEndAndDropsLaterPushes)
{
    Channel<int> channel;
    std::vector<ChannelTermination> terminations;
    channel.onTermination([&](ChannelTermination how) { terminations.push_back(how); });
    std::stop_source consumer;
    channel.push(1);
    QTimer::singleShot(5ms, [&] { consumer.request_stop(); });
    std::vector<int> got;
    EXPECT_NO_THROW(runBlocking(drain(channel, got, consumer.get_token()), hangCeiling));
    EXPECT_EQ(got, (std::vector<int>{1}));
    EXPECT_EQ(terminations, (std::vector<ChannelTermination>{ChannelTermination::Cancelled}));
    EXPECT_FALSE(channel.push(2));
    channel.finish();
    EXPECT_EQ(terminations.size(), 1u);
}

TEST(Channel, AlreadyCancelledConsumerStillGetsABufferedValueFirst)
{
    Channel<int> channel;
    channel.push(1);
    std::stop_source consumer;
    consumer.request_stop();
    // Cancellation is seen only when the consumer would have to wait.
    EXPECT_EQ(runBlocking(channel.next(consumer.get_token())), std::optional<int>(1));
    EXPECT_EQ(runBlocking(channel.next(consumer.get_token())), std::nullopt);
}

TEST(Channel, PushesFromAnotherThreadArriveInOrder)
{
    Channel<int> channel;
    constexpr int count = 5000;
    std::thread producer([channel] {
        for (int i = 0; i < count; ++i)
            channel.push(i);
        channel.finish();
    });
    std::vector<int> got;
    runBlocking(drain(channel, got), hangCeiling);
    producer.join();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(got[i], i);
}

TEST(Channel, WakesAWaitingConsumerOnPushAndOnFinishThoughTheCopyItWaitsOnIsGone)
{
    Channel<int> channel;
    auto nextOnATemporaryCopy = [&channel] { return Channel<int>(channel).next(); };
    QTimer::singleShot(5ms, [&] { channel.push(7); });
    EXPECT_EQ(runBlocking(nextOnATemporaryCopy(), hangCeiling), std::optional<int>(7));
    QTimer::singleShot(5ms, [&] { channel.finish(); });
    EXPECT_EQ(runBlocking(nextOnATemporaryCopy(), hangCeiling), std::nullopt);
}

TEST(Outcome, HoldsTheValueOrWhatWasThrownAfterTheWait)
{
    const auto value = [](bool fails) -> QCoro::Task<int> {
        co_await sleepFor(1ms);
        if (fails)
            throw Boom();
        co_return 7;
    };
    const Outcome<int> kept = runBlocking(outcomeOf(value(false)));
    EXPECT_EQ(kept.value, 7);
    EXPECT_FALSE(kept.failure);
    const Outcome<int> failed = runBlocking(outcomeOf(value(true)));
    EXPECT_FALSE(failed.value);
    EXPECT_THROW(std::rethrow_exception(failed.failure), Boom);

    const auto done = [](bool fails) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
        if (fails)
            throw Boom();
    };
    EXPECT_FALSE(runBlocking(outcomeOf(done(false))).failure);
    EXPECT_TRUE(runBlocking(outcomeOf(done(true))).failure);
}

TEST(Published, DeliversTheCurrentValueAtOnceThenEveryAssignmentBeforeTheFieldHoldsIt)
{
    Published<int> field(1);
    std::vector<std::pair<int, int>> seen; // (delivered, field during delivery)
    auto subscription = field.subscribe([&](int v) { seen.emplace_back(v, field.value()); });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}}));
    field = 2;
    field = 2;
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {2, 2}}));
    EXPECT_EQ(field.value(), 2);
    subscription.cancel();
    subscription.cancel();
    field = 3;
    EXPECT_EQ(seen.size(), 3u);
}

TEST(Published, ADestroyedSubscriptionStopsOnlyItsOwnDelivery)
{
    Published<int> field(0);
    int kept = 0, dropped = 0;
    auto keeper = field.subscribe([&](int) { ++kept; });
    {
        auto scoped = field.subscribe([&](int) { ++dropped; });
    }
    field = 1;
    EXPECT_EQ(kept, 2);
    EXPECT_EQ(dropped, 1);
}

TEST(Published, ASubscriberCancelledDuringAPassIsSkipped)
{
    Published<int> field(0);
    std::vector<int> late;
    Subscription second;
    auto first = field.subscribe([&](int v) {
        if (v == 1)
            second.cancel();
    });
    second = field.subscribe([&](int v) { late.push_back(v); });
    field = 1;
    EXPECT_EQ(late, (std::vector<int>{0}));
}

TEST(Published, QueuedSubscriptionDeliversOnALaterTurnInOrder)
{
    Published<int> field(1);
    QObject context;
    std::vector<int> seen;
    auto subscription = field.subscribeQueued(&context, [&](int v) { seen.push_back(v); });
    field = 2;
    field = 3;
    EXPECT_TRUE(seen.empty());
    EXPECT_EVENTUALLY_EQ(seen, (std::vector<int> { 1, 2, 3 }));
}

TEST(Published, QueuedDeliveryStopsWithItsContextOrItsSubscription)
{
    Published<int> field(1);
    auto context = std::make_unique<QObject>();
    int calls = 0;
    auto byContext = field.subscribeQueued(context.get(), [&](int) { ++calls; });
    context.reset();
    QObject other;
    int otherCalls = 0;
    auto cancelled = field.subscribeQueued(&other, [&](int) { ++otherCalls; });
    field = 2;
    cancelled.cancel();
    afterQueuedCalls();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(otherCalls, 0);
}

TEST(MainThreadHandOff, WorkPostedFromAWorkerRunsLaterOnTheMainThreadInOrder)
{
    std::vector<std::pair<int, QThread*>> runs;
    std::thread worker([&runs] {
        for (int i = 0; i < 3; ++i)
            postToMainThread([&runs, i] { runs.emplace_back(i, QThread::currentThread()); });
    });
    worker.join();
    EXPECT_TRUE(runs.empty());
    QThread* main = QThread::currentThread();
    EXPECT_EVENTUALLY_EQ(runs, (std::vector<std::pair<int, QThread*>> { { 0, main }, { 1, main }, { 2, main } }));
}
