#include "Support/Async/Published.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using vellamor::Published;
using vellamor::runBlocking;
using vellamor::Subscription;

TEST(Published, NewSubscriberGetsTheCurrentValueAtOnce)
{
    Published<int> field(5);
    std::vector<int> seen;
    auto subscription = field.subscribe([&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{5}));
}

TEST(Published, DeliversBeforeTheFieldHoldsTheNewValue)
{
    Published<int> field(1);
    std::vector<std::pair<int, int>> seen; // (delivered, field during delivery)
    auto subscription = field.subscribe([&](int v) { seen.emplace_back(v, field.value()); });
    field = 2;
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}}));
    EXPECT_EQ(field.value(), 2);
}

TEST(Published, EveryAssignmentIsDeliveredEqualOrNot)
{
    Published<int> field(3);
    int deliveries = 0;
    auto subscription = field.subscribe([&](int) { ++deliveries; });
    field = 3;
    field = 3;
    EXPECT_EQ(deliveries, 3);
}

TEST(Published, CancelledOrDestroyedSubscriptionsStopDelivery)
{
    Published<int> field(0);
    int a = 0, b = 0;
    auto first = field.subscribe([&](int) { ++a; });
    {
        auto second = field.subscribe([&](int) { ++b; });
        field = 1;
    }
    first.cancel();
    first.cancel();
    field = 2;
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 2);
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
    runBlocking(vellamor::sleepFor(1ms));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
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
    runBlocking(vellamor::sleepFor(1ms));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(otherCalls, 0);
}
