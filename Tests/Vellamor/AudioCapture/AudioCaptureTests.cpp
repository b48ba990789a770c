#include "AudioTestSignals.h"
#include "ErrorOf.h"
#include "FakeSoundServer.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Audio/AudioCaptureError.h"
#include "AudioCapture/AudioCapture.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/RunBlocking.h"

#include <gmock/gmock.h>

#include <random>
#include <thread>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class AudioCaptureTest : public ::testing::Test {
protected:
    QStringList warnings() const
    {
        QStringList result;
        for (const auto& entry : systemLog->entries()) {
            if (entry.level == SystemLogLevel::Default)
                result << entry.publicPart;
        }
        return result;
    }

    AudioFrameStream startCapture() { return runBlocking(capture.start()); }

    // Returns once every call posted to the main thread before it has run,
    // and what those posted in turn: a delivered chunk's hand-over, then its
    // reader's wake-up.
    static void afterPostedCalls()
    {
        const auto reached = std::make_shared<bool>(false);
        postToMainThread([reached] { postToMainThread([reached] { *reached = true; }); });
        ASSERT_TRUE(waitUntil([reached] { return *reached; }));
    }

    std::shared_ptr<FakeSoundServer> server = std::make_shared<FakeSoundServer>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    AudioCapture capture{server,
                         VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio"), systemLog, nullptr)};
};

TEST_F(AudioCaptureTest, EachFrameIsHandedOverAsSoonAsItsLastByteArrives)
{
    auto got = std::make_shared<QList<AudioFrame>>();
    QCoro::Task<void> reading = collect(startCapture(), got);
    const QByteArray input = countingSamples(2000);
    qsizetype offset = 0;
    for (qsizetype size : {400, 400, 400, 100, 1, 138, 1, 1200, 639, 1}) {
        ASSERT_TRUE(server->deliver(input.mid(offset, size)));
        offset += size;
        const qsizetype complete = offset / 640;
        EXPECT_TRUE(waitUntil([&] { return got->size() >= complete; }))
            << "frame " << complete - 1 << " held back after " << offset << " bytes";
        afterPostedCalls();
        EXPECT_EQ(got->size(), complete);
    }
    runBlocking(capture.stop());
    runBlocking(std::move(reading));

    QByteArray joined;
    for (qsizetype i = 0; i < got->size(); ++i) {
        EXPECT_EQ(got->at(i).sequence, i);
        joined += got->at(i).pcm;
    }
    EXPECT_EQ(joined, input.left(offset / 640 * 640));
}

TEST_F(AudioCaptureTest, EachLevelFollowsItsFrame)
{
    const auto note = [](auto stream, QString name, std::shared_ptr<QStringList> order) -> QCoro::Task<void> {
        for (int n = 0; co_await stream.next(); ++n)
            order->append(name + QString::number(n));
    };
    auto order = std::make_shared<QStringList>();
    QCoro::Task<void> frameReader = note(startCapture(), QStringLiteral("frame "), order);
    QCoro::Task<void> levelReader = note(capture.rmsStream(), QStringLiteral("level "), order);

    for (int i = 0; i < 3; ++i) {
        // One frame per hand-over, so each reader wakes once per frame.
        ASSERT_TRUE(server->deliver(constantSamples(320, 1000)));
        ASSERT_TRUE(waitUntil([&] { return order->size() == 2 * (i + 1); }));
    }
    EXPECT_THAT(*order, ElementsAre(QStringLiteral("frame 0"), QStringLiteral("level 0"), QStringLiteral("frame 1"),
                                    QStringLiteral("level 1"), QStringLiteral("frame 2"), QStringLiteral("level 2")));
    runBlocking(capture.stop());
    runBlocking(std::move(frameReader));
    runBlocking(std::move(levelReader));
}

TEST_F(AudioCaptureTest, StartWhileStartingOrRunningFailsAndTheRunGoesOn)
{
    server->holdOpens();
    QCoro::Task<AudioFrameStream> first = capture.start();
    EXPECT_EQ(errorOf<AudioCaptureError>(capture.start()), AudioCaptureError::alreadyRunning());

    server->releaseOpen();
    AudioFrameStream frames = runBlocking(std::move(first));
    EXPECT_EQ(errorOf<AudioCaptureError>(capture.start()), AudioCaptureError::alreadyRunning());
    EXPECT_EQ(server->openCount(), 1);

    ASSERT_TRUE(server->deliver(constantSamples(320, 5)));
    const QList<AudioFrame> got = take(frames, 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].sequence, 0);
}

TEST_F(AudioCaptureTest, FailedStartLeavesNoRunAndTheNextStartWorks)
{
    platform::SoundServerSnapshot unreachable;
    unreachable.failure = QStringLiteral("Connection refused");
    platform::SoundServerSnapshot onlyMonitors = FakeSoundServer::oneMicrophone();
    onlyMonitors.sources.removeLast();
    struct Case {
        const char* name;
        platform::SoundServerSnapshot answer;
        std::optional<QString> refusal;
        AudioCaptureError expected;
    };
    const Case cases[] = {
        {"server unreachable", unreachable, std::nullopt, AudioCaptureError::permissionDenied()},
        {"only monitors", onlyMonitors, std::nullopt, AudioCaptureError::permissionDenied()},
        {"stream refused", FakeSoundServer::oneMicrophone(), QStringLiteral("No such entity"),
         AudioCaptureError::engineFailed(QStringLiteral("No such entity"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->answer = c.answer;
        server->refusal = c.refusal;
        EXPECT_EQ(errorOf<AudioCaptureError>(capture.start()), c.expected);
        EXPECT_FALSE(capture.isRunning());
    }
    // Only a microphone that is there is asked to record.
    EXPECT_EQ(server->openCount(), 1);

    AudioFrameStream frames = startCapture();
    ASSERT_TRUE(server->deliver(constantSamples(320, 7)));
    const QList<AudioFrame> got = take(frames, 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].sequence, 0);
}

TEST_F(AudioCaptureTest, RecordsTheChosenMicrophoneWhileTheServerHasIt)
{
    platform::SoundServerSnapshot two = FakeSoundServer::oneMicrophone();
    two.sources.append(platform::SoundSource{3, QStringLiteral("usb"), QStringLiteral("USB"), false, 1, 48000});
    const struct {
        const char* name;
        std::optional<QString> chosen;
        platform::SoundServerSnapshot answer;
        std::optional<QString> opened;
    } cases[] = {
        {"none chosen", std::nullopt, two, std::nullopt},
        {"empty", QString(), two, std::nullopt},
        {"present", QStringLiteral("usb"), two, QStringLiteral("usb")},
        {"unplugged", QStringLiteral("usb"), FakeSoundServer::oneMicrophone(), std::nullopt},
        {"a monitor", QStringLiteral("out.monitor"), two, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server->answer = c.answer;
        capture.setSelectedInputDeviceUID(c.chosen);
        startCapture();
        EXPECT_EQ(server->openedSources.back(), c.opened);
        runBlocking(capture.stop());
    }
}

TEST_F(AudioCaptureTest, StopEndsBothStreamsAndARestartKeepsNothingOfTheEarlierRun)
{
    struct Case {
        const char* name;
        bool handedOverBeforeStop; // else the chunk is still on its way to the main thread when the run ends
        qsizetype framesOfTheRun;
    };
    for (const Case& c : {Case{"partial frame waiting", true, 1}, Case{"chunk on its way", false, 1}}) {
        SCOPED_TRACE(c.name);
        AudioFrameStream earlier = startCapture();
        Channel<float> levels = capture.rmsStream();
        ASSERT_TRUE(server->deliver(constantSamples(520, 1111)));
        if (c.handedOverBeforeStop) {
            ASSERT_TRUE(waitUntil([&] { return earlier.bufferedCount() == 1; }));
        }
        runBlocking(capture.stop());
        EXPECT_FALSE(server->isStreamOpen());
        EXPECT_EQ(take(earlier).size(), c.framesOfTheRun);
        EXPECT_EQ(take(levels).size(), c.framesOfTheRun);

        AudioFrameStream frames = startCapture();
        const QByteArray fresh = countingSamples(640);
        ASSERT_TRUE(server->deliver(fresh));
        const QList<AudioFrame> got = take(frames, 2);
        ASSERT_EQ(got.size(), 2);
        EXPECT_EQ(got[0].sequence, 0);
        EXPECT_EQ(got[0].pcm, fresh.left(640));
        EXPECT_EQ(got[1].sequence, 1);
        EXPECT_EQ(got[1].pcm, fresh.mid(640));
        runBlocking(capture.stop());
    }
}

TEST_F(AudioCaptureTest, ChunksFromTheCaptureThreadArriveInOrderUnderLoad)
{
    AudioFrameStream frames = startCapture();
    const QByteArray input = countingSamples(500000);
    std::thread producer([this, &input] {
        std::mt19937 random(42);
        std::uniform_int_distribution<qsizetype> size(1, 1500);
        qsizetype offset = 0;
        while (offset < input.size()) {
            const qsizetype n = std::min(size(random), input.size() - offset);
            server->deliver(input.mid(offset, n));
            offset += n;
            if (random() % 64 == 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    // A main thread that is busy now and then.
    auto busyReader = [](AudioFrameStream stream, qsizetype count) -> QCoro::Task<QList<AudioFrame>> {
        QList<AudioFrame> got;
        while (got.size() < count) {
            std::optional<AudioFrame> frame = co_await stream.next();
            if (!frame)
                break;
            got.append(std::move(*frame));
            if (got.size() % 97 == 0)
                std::this_thread::sleep_for(2ms);
        }
        co_return got;
    };
    const qsizetype expected = input.size() / 640;
    const QList<AudioFrame> got = runBlocking(busyReader(frames, expected), 30s);
    producer.join();

    ASSERT_EQ(got.size(), expected);
    for (qsizetype i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].sequence, i);
        ASSERT_EQ(got[i].pcm, input.mid(i * 640, 640)) << "frame " << i;
    }
    // A loaded machine may start the producer late, which is told; nothing
    // may be dropped.
    EXPECT_TRUE(warnings().filter(QStringLiteral("dropped")).isEmpty()) << warnings().join(u'\n').toStdString();
}

TEST_F(AudioCaptureTest, KeepsTheNewest3000FramesAndWarnsOncePerRun)
{
    struct Case {
        int frames;
        int warnings;
    };
    int warningsSoFar = 0;
    for (const Case& c : {Case{3000, 0}, Case{3100, 1}, Case{3500, 1}}) {
        SCOPED_TRACE(c.frames);
        AudioFrameStream frames = startCapture();
        for (int i = 0; i < c.frames; ++i)
            server->deliver(constantSamples(320, static_cast<qint16>(i % 30000)));
        ASSERT_TRUE(waitUntil([&] { return frames.bufferedCount() == AudioCapture::frameStreamCapacity; }));
        runBlocking(capture.stop());

        const QList<AudioFrame> kept = take(frames);
        ASSERT_EQ(kept.size(), 3000);
        EXPECT_EQ(kept.constFirst().sequence, c.frames - 3000);
        EXPECT_EQ(kept.constLast().sequence, c.frames - 1);
        // Only the drops: a loaded machine may also start the capture late.
        const QStringList dropped = warnings().filter(QStringLiteral("dropped"));
        EXPECT_EQ(dropped.size(), warningsSoFar + c.warnings);
        warningsSoFar = static_cast<int>(dropped.size());
    }
}

TEST_F(AudioCaptureTest, LevelStreamKeepsTheNewestEightAndAReplacedOneEnds)
{
    Channel<float> first = capture.rmsStream();
    startCapture();
    for (int i = 1; i <= 2; ++i)
        server->deliver(constantSamples(320, static_cast<qint16>(100 * i)));
    ASSERT_TRUE(waitUntil([&] { return first.bufferedCount() == 2; }));
    Channel<float> second = capture.rmsStream();
    for (int i = 3; i <= 22; ++i)
        server->deliver(constantSamples(320, static_cast<qint16>(100 * i)));
    ASSERT_TRUE(waitUntil([&] { return second.bufferedCount() == AudioCapture::levelStreamCapacity; }));
    EXPECT_THAT(take(first), ElementsAre(100.0f / 32768.0f, 200.0f / 32768.0f));

    runBlocking(capture.stop());
    QList<int> late;
    for (float level : take(second))
        late << qRound(level * 32768.0f);
    EXPECT_THAT(late, ElementsAre(1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200));
}

TEST_F(AudioCaptureTest, ARunWhoseFirstSampleCameLateIsLoggedWithTheDelay)
{
    // The first chunk's samples were spoken before it arrived: one as long as
    // the hang ceiling began in time however late a loaded machine hands it on.
    for (const auto& [wait, samples] : {std::pair{0ms, 16 * 30'000}, std::pair{80ms, 320}}) {
        const qsizetype before = warnings().size();
        const AudioFrameStream frames = startCapture();
        runEventLoopFor(wait);
        ASSERT_TRUE(server->deliver(constantSamples(samples, 1)));
        const auto framesInIt = static_cast<std::size_t>(samples / 320);
        ASSERT_TRUE(waitUntil([&] { return frames.bufferedCount() == framesInIt; }));
        const QStringList late = warnings().mid(before).filter(QStringLiteral("audio started late"));
        if (wait < AudioCapture::lateStart) {
            EXPECT_TRUE(late.isEmpty()) << late.join(u' ').toStdString();
        } else {
            ASSERT_EQ(late.size(), 1);
            // The chunk's 20 ms were spoken before it arrived.
            EXPECT_GE(late.first().section(u' ', 5, 5).toInt(), wait.count() - 20) << late.first().toStdString();
        }
        runBlocking(capture.stop());
    }
}

TEST_F(AudioCaptureTest, ABrokenStreamIsLogged)
{
    startCapture();
    ASSERT_TRUE(server->breakStream(QStringLiteral("Connection terminated")));
    ASSERT_TRUE(waitUntil([&] { return !warnings().isEmpty(); }));
    EXPECT_EQ(systemLog->entries().constLast().privatePart, QStringLiteral("Connection terminated"));
}

TEST_F(AudioCaptureTest, DestroyingARunningCaptureClosesTheStream)
{
    auto owned = std::make_unique<AudioCapture>(server, VellamorLog(QStringLiteral("com.vellamor.app"),
                                                                    QStringLiteral("audio"), systemLog, nullptr));
    runBlocking(owned->start());
    ASSERT_TRUE(server->deliver(countingSamples(320)));
    owned.reset();
    EXPECT_FALSE(server->isStreamOpen());
    // The hand-over already posted finds nothing to deliver to.
    afterPostedCalls();
}

} // namespace
} // namespace vellamor::test
