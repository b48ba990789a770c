#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include "RecordingSystemLog.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;
using vellamor::runBlocking;
using vellamor::sleepFor;
using vellamor::spawn;
using vellamor::SystemLogLevel;
using vellamor::test::RecordingSystemLog;

namespace {

struct DiscardingSink final : vellamor::LogSink {
    void write(const QString&, const QString&, const QString&) override {}
};

struct SpawnTest : ::testing::Test {
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    vellamor::VellamorLog log{QStringLiteral("com.vellamor.app"), QStringLiteral("async"), systemLog,
                              std::make_shared<DiscardingSink>()};
};

} // namespace

TEST_F(SpawnTest, AnEscapedExceptionIsLoggedNotLost)
{
    QObject context;
    auto handle = spawn(&context, log, QStringLiteral("history pump"), [](std::stop_token) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
        throw std::runtime_error("disk on fire");
    });
    EXPECT_NO_THROW(runBlocking(handle.join()));
    const auto entries = systemLog->entries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].level, SystemLogLevel::Error);
    EXPECT_EQ(entries[0].publicPart, QStringLiteral("task failed: history pump: disk on fire"));
}

TEST_F(SpawnTest, CancellationIsAnOrdinaryEnd)
{
    auto handle = spawn(nullptr, log, QStringLiteral("ticker"), [](std::stop_token token) -> QCoro::Task<void> {
        if (!co_await sleepFor(10s, token))
            throw vellamor::CancellationError();
    });
    handle.cancel();
    runBlocking(handle.join(), 2s);
    EXPECT_TRUE(systemLog->entries().isEmpty());
}

TEST_F(SpawnTest, DestroyingTheContextCancelsTheTask)
{
    auto context = std::make_unique<QObject>();
    bool ranOn = false;
    auto handle = spawn(context.get(), log, QStringLiteral("pump"), [&](std::stop_token token) -> QCoro::Task<void> {
        if (co_await sleepFor(10s, token))
            ranOn = true;
    });
    context.reset();
    EXPECT_TRUE(handle.isCancelled());
    runBlocking(handle.join(), 2s);
    EXPECT_FALSE(ranOn);
}

TEST_F(SpawnTest, ATaskThatEndedNoLongerWatchesItsContext)
{
    QObject context;
    auto handle = spawn(&context, log, QStringLiteral("quick"), [](std::stop_token) -> QCoro::Task<void> {
        co_await sleepFor(1ms);
    });
    runBlocking(handle.join());
    EXPECT_FALSE(QObject::disconnect(&context, &QObject::destroyed, nullptr, nullptr));
}
