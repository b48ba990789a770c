#pragma once

#include "Support/Async/MainThread.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace vellamor::test {

// Long enough for a sanitized build on a machine loaded far past its cores:
// running out of it means a hang, not a slow answer.
inline constexpr std::chrono::milliseconds hangCeiling{30000};

// Runs the event loop until `condition` holds (checked every millisecond) or
// the time is up; returns whether it held. For tests only.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = hangCeiling)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(std::chrono::milliseconds(1));
    deadline.start(timeout);
    loop.exec();
    return condition();
}

// Queues a call on the main thread and runs the event loop until it has
// run: everything queued before it has run too. The end a check that
// nothing happens waits for.
inline bool afterQueuedCalls()
{
    const auto reached = std::make_shared<bool>(false);
    postToMainThread([reached] { *reached = true; });
    return waitUntil([reached] { return *reached; });
}

// Runs the event loop for `duration`, for tests that check nothing happens.
inline void runEventLoopFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace vellamor::test

// EXPECT_EQ once the event loop has had until the ceiling to make it hold:
// for what a store, a sync or a window's load brings on a later turn.
#define EXPECT_EVENTUALLY_EQ(actual, expected)                                                                   \
    do {                                                                                                       \
        const auto vellamorExpected = (expected);                                                              \
        ::vellamor::test::waitUntil([&] { return (actual) == vellamorExpected; });                             \
        EXPECT_EQ(actual, vellamorExpected);                                                                   \
    } while (false)
