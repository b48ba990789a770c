#include "Audio/EarlyAudioCapture.h"
#include "Support/Async/RunBlocking.h"

#include "TimedAudioCapture.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

class EarlyAudioCaptureTest : public ::testing::Test {
protected:
    // Lets the cancelled players end.
    void TearDown() override { runEventLoopFor(10ms); }

    std::shared_ptr<TimedAudioCapture> inner = std::make_shared<TimedAudioCapture>(TimedAudioCapture::silentFrames(50), 2ms);
    EarlyAudioCapture capture{inner, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio"), nullptr, nullptr)};

    static QList<qint64> drain(AudioFrameStream stream)
    {
        return runBlocking([](AudioFrameStream frames) -> QCoro::Task<QList<qint64>> {
            QList<qint64> sequences;
            while (const std::optional<AudioFrame> frame = co_await frames.next())
                sequences.append(frame->sequence);
            co_return sequences;
        }(std::move(stream)));
    }
};

// The session claims what was gathered since the press, from its first frame.
TEST_F(EarlyAudioCaptureTest, StartClaimsTheFramesGatheredSinceOpen)
{
    capture.open();
    capture.open();
    ASSERT_TRUE(waitUntil([&] { return inner->isRunning(); }));
    runEventLoopFor(20ms);

    AudioFrameStream stream = runBlocking(capture.start());
    EXPECT_GE(stream.bufferedCount(), 3u);
    capture.open(); // claimed: a press during the session changes nothing
    capture.discard();
    runBlocking(capture.stop());

    const QList<qint64> sequences = drain(stream);
    ASSERT_FALSE(sequences.isEmpty());
    EXPECT_EQ(sequences.first(), 0);
    EXPECT_EQ(inner->startCount(), 1);
    EXPECT_EQ(inner->stopCount(), 1);
}

// A tap closes what it opened; the next press and a session without an
// early open each get a run of their own, never "already running".
TEST_F(EarlyAudioCaptureTest, DiscardClosesTheUnclaimedRunBeforeTheNextOneOpens)
{
    inner->setStartDelay(10ms);
    capture.open();
    capture.discard(); // while the run is still opening
    capture.open();
    capture.discard();
    EXPECT_TRUE(waitUntil([&] { return inner->stopCount() == 2 && !inner->isRunning(); }));

    AudioFrameStream stream = runBlocking(capture.start());
    EXPECT_TRUE(inner->isRunning());
    EXPECT_EQ(inner->startCount(), 3);
    runBlocking(capture.stop());
    EXPECT_TRUE(stream.isTerminated());
}

// A release while the session still waits to start: the gathered frames are
// kept for it and the stream ends after them.
TEST_F(EarlyAudioCaptureTest, SealKeepsTheGatheredFramesAndEndsTheStreamAfterThem)
{
    capture.open();
    ASSERT_TRUE(waitUntil([&] { return inner->isRunning(); }));
    runEventLoopFor(20ms);
    capture.seal();
    ASSERT_TRUE(waitUntil([&] { return !inner->isRunning(); }));
    runEventLoopFor(10ms);

    const QList<qint64> sequences = drain(runBlocking(capture.start()));
    ASSERT_GE(sequences.size(), 3);
    EXPECT_EQ(sequences.first(), 0);
    EXPECT_EQ(sequences.last(), sequences.size() - 1);
    EXPECT_EQ(inner->startCount(), 1);
}

TEST_F(EarlyAudioCaptureTest, AFailedEarlyOpenIsThrownByTheStartThatClaimsIt)
{
    inner->setStartError(AudioCaptureError::permissionDenied());
    capture.open();
    EXPECT_THROW(runBlocking(capture.start()), AudioCaptureError);
    inner->setStartError(std::nullopt);
    runBlocking(capture.stop());
    runBlocking(capture.start());
    EXPECT_TRUE(inner->isRunning());
    runBlocking(capture.stop());
}

} // namespace
} // namespace vellamor::test
