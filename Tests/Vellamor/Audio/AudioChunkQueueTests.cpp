#include "Audio/AudioChunkQueue.h"

#include <gmock/gmock.h>

#include <atomic>
#include <thread>

namespace vellamor::test {
namespace {

TEST(AudioChunkQueue, WakesOnlyWhenAChunkFindsItEmpty)
{
    int wakes = 0;
    AudioChunkQueue queue([&wakes] { ++wakes; });
    queue.push(1, QByteArrayLiteral("a"));
    queue.push(1, QByteArrayLiteral("b"));
    EXPECT_EQ(wakes, 1);

    const QList<AudioChunkQueue::Chunk> taken = queue.takeAll();
    ASSERT_EQ(taken.size(), 2);
    EXPECT_EQ(taken[0].bytes, QByteArrayLiteral("a"));
    EXPECT_EQ(taken[1].bytes, QByteArrayLiteral("b"));
    EXPECT_TRUE(queue.takeAll().isEmpty());

    queue.push(2, QByteArrayLiteral("c"));
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(queue.takeAll().constFirst().run, 2u);
}

TEST(AudioChunkQueue, AConsumerThatTakesOnlyWhenWokenGetsEveryChunkInOrder)
{
    constexpr int count = 20000;
    std::atomic<int> wakes = 0;
    std::atomic<bool> done = false;
    AudioChunkQueue queue([&wakes] { ++wakes; });
    std::thread producer([&] {
        for (int i = 0; i < count; ++i)
            queue.push(static_cast<quint64>(i), QByteArray());
        done = true;
    });
    QList<quint64> seen;
    int handled = 0;
    for (;;) {
        if (handled < wakes.load()) {
            ++handled;
            for (const AudioChunkQueue::Chunk& chunk : queue.takeAll())
                seen.append(chunk.run);
        } else if (done.load() && handled == wakes.load()) {
            break;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    ASSERT_EQ(seen.size(), count) << "chunks left without a wake-up";
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(seen[i], static_cast<quint64>(i));
}

} // namespace
} // namespace vellamor::test
