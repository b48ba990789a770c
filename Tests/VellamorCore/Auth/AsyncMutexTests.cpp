#include "Auth/AsyncMutex.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"

#include "WaitUntil.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace vellamor;

namespace {

QCoro::Task<void> holdFor(std::shared_ptr<AsyncMutex> mutex, std::shared_ptr<QStringList> log, QString name,
                          std::chrono::milliseconds hold)
{
    auto guard = co_await mutex->lock();
    log->append(name + QStringLiteral(" in"));
    co_await sleepFor(hold);
    log->append(name + QStringLiteral(" out"));
}

TEST(AsyncMutexTest, HoldersNeverOverlapAndWaitersComeInArrivalOrder)
{
    auto mutex = std::make_shared<AsyncMutex>();
    auto log = std::make_shared<QStringList>();
    // The first holder sleeps longest, so a lock that let later callers in
    // early would interleave them.
    auto a = holdFor(mutex, log, QStringLiteral("a"), std::chrono::milliseconds(30));
    auto b = holdFor(mutex, log, QStringLiteral("b"), std::chrono::milliseconds(1));
    auto c = holdFor(mutex, log, QStringLiteral("c"), std::chrono::milliseconds(10));
    EXPECT_TRUE(test::waitUntil([&] { return log->size() == 6; }));
    EXPECT_EQ(*log, (QStringList{QStringLiteral("a in"), QStringLiteral("a out"), QStringLiteral("b in"),
                                 QStringLiteral("b out"), QStringLiteral("c in"), QStringLiteral("c out")}));
    EXPECT_FALSE(mutex->isLocked());
}

QCoro::Task<void> throwWhileHolding(std::shared_ptr<AsyncMutex> mutex)
{
    auto guard = co_await mutex->lock();
    co_await sleepFor(std::chrono::milliseconds(1));
    throw std::runtime_error("inside");
}

TEST(AsyncMutexTest, AnExceptionReleasesTheLock)
{
    auto mutex = std::make_shared<AsyncMutex>();
    EXPECT_THROW(runBlocking(throwWhileHolding(mutex)), std::runtime_error);
    EXPECT_FALSE(mutex->isLocked());
    auto log = std::make_shared<QStringList>();
    runBlocking(holdFor(mutex, log, QStringLiteral("next"), std::chrono::milliseconds(0)));
    EXPECT_EQ(log->size(), 2);
}

TEST(AsyncMutexTest, EarlyUnlockHandsOverWhileTheGuardLives)
{
    auto mutex = std::make_shared<AsyncMutex>();
    auto guard = runBlocking(mutex->lock());
    EXPECT_TRUE(mutex->isLocked());
    auto log = std::make_shared<QStringList>();
    auto waiter = holdFor(mutex, log, QStringLiteral("w"), std::chrono::milliseconds(0));
    test::runEventLoopFor(std::chrono::milliseconds(5));
    EXPECT_TRUE(log->isEmpty());
    guard.unlock();
    EXPECT_TRUE(test::waitUntil([&] { return log->size() == 2; }));
    guard.unlock(); // a second unlock does nothing
    EXPECT_FALSE(mutex->isLocked());
}

} // namespace
