#include "History/HistoryChangeBroadcaster.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/TaskHandle.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <array>

using vellamor::HistoryChangeBroadcaster;
using vellamor::HistoryChangeEvent;
using vellamor::HistoryChangeStream;
using vellamor::runBlocking;
using vellamor::TaskHandle;
using vellamor::test::waitUntil;

TEST(HistoryChangeBroadcaster, EverySubscriberReceivesTheLaterEventsInPublishOrder)
{
    const auto broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    broadcaster->publish(HistoryChangeEvent::cleared()); // nobody listens yet, and nothing is replayed
    const HistoryChangeStream first = broadcaster->subscribe();
    const HistoryChangeStream second = broadcaster->subscribe();
    const std::array events {HistoryChangeEvent::deleted(QUuid::createUuid()), HistoryChangeEvent::cleared(),
                             HistoryChangeEvent::deleted(QUuid::createUuid())};
    for (const auto& event : events)
        broadcaster->publish(event);

    for (const HistoryChangeStream* stream : {&first, &second}) {
        for (const auto& event : events)
            EXPECT_EQ(runBlocking(stream->next()), event);
    }
}

// A subscriber that calls back into the publishing store must not re-enter it.
TEST(HistoryChangeBroadcaster, SubscribersRunOnALaterTurnNeverInsidePublish)
{
    const auto broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    const HistoryChangeStream stream = broadcaster->subscribe();
    auto received = std::make_shared<std::optional<HistoryChangeEvent>>();
    const TaskHandle consumer = TaskHandle::start([&stream, received](std::stop_token) -> QCoro::Task<void> {
        *received = co_await stream.next();
    });

    broadcaster->publish(HistoryChangeEvent::cleared());
    EXPECT_FALSE(received->has_value());
    EXPECT_TRUE(waitUntil([&] { return received->has_value(); }));
}

TEST(HistoryChangeBroadcaster, AStreamIsForgottenWhenDroppedOrCancelledEvenAfterTheBroadcasterIsGone)
{
    auto broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    {
        const HistoryChangeStream dropped = broadcaster->subscribe();
        EXPECT_EQ(broadcaster->subscriberCount(), 1u);
    }
    EXPECT_EQ(broadcaster->subscriberCount(), 0u);

    const HistoryChangeStream cancelled = broadcaster->subscribe();
    const TaskHandle consumer = TaskHandle::start([&cancelled](std::stop_token token) -> QCoro::Task<void> {
        co_await cancelled.next(token);
    });
    consumer.cancel();
    EXPECT_TRUE(waitUntil([&] { return broadcaster->subscriberCount() == 0; }));

    // Ends after the broadcaster is destroyed; the sanitizer sees any use of it.
    const HistoryChangeStream outliving = broadcaster->subscribe();
    broadcaster.reset();
}
