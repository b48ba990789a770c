#include "Support/Async/Channel.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using vellamor::Channel;
using vellamor::ChannelTermination;
using vellamor::runBlocking;

namespace {

struct StreamFailed : std::runtime_error {
    StreamFailed() : std::runtime_error("stream failed") {}
};

// Reads until the end; rethrows a finishing error after recording what came before it.
QCoro::Task<void> drain(Channel<int> channel, std::vector<int>& into, std::stop_token token = {})
{
    while (auto value = co_await channel.next(token))
        into.push_back(*value);
}

} // namespace

TEST(Channel, YieldsBufferedValuesInOrderThenEnds)
{
    Channel<int> channel;
    channel.push(1);
    channel.push(2);
    channel.finish();
    std::vector<int> got;
    runBlocking(drain(channel, got));
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
}

TEST(Channel, WakesAWaitingConsumerOnPushAndOnFinish)
{
    Channel<int> channel;
    QTimer::singleShot(5ms, [&] { channel.push(7); });
    QTimer::singleShot(10ms, [&] { channel.finish(); });
    std::vector<int> got;
    runBlocking(drain(channel, got), 2s);
    EXPECT_EQ(got, (std::vector<int>{7}));
}

TEST(Channel, FinishWithErrorArrivesAfterTheBufferedValues)
{
    Channel<int> channel;
    channel.push(1);
    channel.push(2);
    channel.finish(std::make_exception_ptr(StreamFailed()));
    std::vector<int> got;
    EXPECT_THROW(runBlocking(drain(channel, got)), StreamFailed);
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
    // The error is delivered once; afterwards the stream is simply over.
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
    EXPECT_NO_THROW(runBlocking(drain(channel, got, consumer.get_token()), 2s));
    EXPECT_EQ(got, (std::vector<int>{1}));
    EXPECT_EQ(terminations, (std::vector<ChannelTermination>{ChannelTermination::Cancelled}));
    EXPECT_FALSE(channel.push(2));
    channel.finish();
    EXPECT_EQ(terminations.size(), 1u);
}

TEST(Channel, AlreadyCancelledConsumerGetsTheEndEvenWithValuesBuffered)
{
    Channel<int> channel;
    channel.push(1);
    channel.push(2);
    std::stop_source consumer;
    consumer.request_stop();
    // A buffered value is still handed out first: cancellation is seen only
    // when the consumer would have to wait.
    EXPECT_EQ(runBlocking(channel.next(consumer.get_token())), std::optional<int>(1));
}

TEST(Channel, FinishIsToldOnceToTheTerminationCallback)
{
    Channel<int> channel;
    int calls = 0;
    ChannelTermination how = ChannelTermination::Cancelled;
    channel.onTermination([&](ChannelTermination t) {
        ++calls;
        how = t;
    });
    channel.finish();
    channel.finish(std::make_exception_ptr(StreamFailed()));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(how, ChannelTermination::Finished);
    // The second finish's error was ignored.
    EXPECT_EQ(runBlocking(channel.next()), std::nullopt);
}

TEST(Channel, KeepNewestDropsTheOldest)
{
    struct Case {
        std::size_t capacity;
        std::vector<int> expected;
    };
    for (const Case& c : {Case{3, {3, 4, 5}}, Case{1, {5}}, Case{0, {}}, Case{10, {1, 2, 3, 4, 5}}}) {
        auto channel = Channel<int>::keepingNewest(c.capacity);
        for (int i = 1; i <= 5; ++i)
            EXPECT_TRUE(channel.push(i));
        channel.finish();
        std::vector<int> got;
        runBlocking(drain(channel, got));
        EXPECT_EQ(got, c.expected) << "capacity " << c.capacity;
    }
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
    runBlocking(drain(channel, got), 10s);
    producer.join();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(got[i], i);
}

TEST(Channel, ConsumerOutlivesTheChannelObjectItWasCalledOn)
{
    auto pending = [] {
        Channel<int> local;
        auto next = local.next();
        QTimer::singleShot(5ms, [local] { local.push(42); });
        return next;
    }();
    EXPECT_EQ(runBlocking(std::move(pending), 2s), std::optional<int>(42));
}
