#include "AudioTestSignals.h"
#include "ErrorOf.h"
#include "FakeSoundServer.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Audio/AudioCapture.h"
#include "Audio/AudioCaptureError.h"
#include "Audio/AudioConversion.h"
#include "Support/Async/RunBlocking.h"

#include <gmock/gmock.h>

#include <random>
#include <thread>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// Takes up to `count` values; fewer when the stream ends first.
template<typename T>
QCoro::Task<QList<T>> take(Channel<T> stream, int count)
{
    QList<T> values;
    while (values.size() < count) {
        std::optional<T> value = co_await stream.next();
        if (!value)
            break;
        values.append(std::move(*value));
    }
    co_return values;
}

// Takes everything up to the end of the stream.
template<typename T>
QList<T> drainToEnd(const Channel<T>& stream)
{
    return runBlocking(take(stream, std::numeric_limits<int>::max()), 10s);
}

class AudioCaptureTest : public ::testing::Test {
protected:
    QStringList lines(SystemLogLevel level) const
    {
        QStringList result;
        for (const auto& entry : systemLog->entries()) {
            if (entry.level == level)
                result << entry.publicPart;
        }
        return result;
    }

    AudioFrameStream startCapture() { return runBlocking(capture.start()); }

    // Lets the posted hand-over run.
    static void settle() { runEventLoopFor(20ms); }

    std::shared_ptr<FakeSoundServer> server = std::make_shared<FakeSoundServer>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    AudioCapture capture {server, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio"), systemLog, nullptr)};
};

TEST_F(AudioCaptureTest, FramesTheServersBytesFromSequenceZero)
{
    AudioFrameStream frames = startCapture();
    EXPECT_TRUE(capture.isRunning());
    EXPECT_THAT(lines(SystemLogLevel::Info), ElementsAre(QStringLiteral("audio engine started hw=48000.0 target=16000.0")));

    const QByteArray input = countingSamples(1780);
    const qsizetype cuts[] = {0, 100, 1100, 1640, 1641, 2280, 3560};
    for (std::size_t i = 0; i + 1 < std::size(cuts); ++i)
        ASSERT_TRUE(server->deliver(input.mid(cuts[i], cuts[i + 1] - cuts[i])));

    const QList<AudioFrame> got = runBlocking(take(frames, 5));
    ASSERT_EQ(got.size(), 5);
    QByteArray joined;
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].sequence, i);
        EXPECT_FLOAT_EQ(got[i].rms, calculateRMS(got[i].pcm));
        joined += got[i].pcm;
    }
    EXPECT_EQ(joined, input.left(3200));
}

TEST_F(AudioCaptureTest, EachFrameIsHandedOverAsSoonAsItsLastByteArrives)
{
    AudioFrameStream frames = startCapture();
    auto got = std::make_shared<QList<AudioFrame>>();
    auto reader = [](AudioFrameStream stream, std::shared_ptr<QList<AudioFrame>> into) -> QCoro::Task<void> {
        for (;;) {
            std::optional<AudioFrame> frame = co_await stream.next();
            if (!frame)
                co_return;
            into->append(std::move(*frame));
        }
    };
    QCoro::Task<void> reading = reader(frames, got);
    const QByteArray input = countingSamples(2000);
    qsizetype offset = 0;
    for (qsizetype size : {400, 400, 400, 100, 1, 138, 1, 1200, 639, 1}) {
        ASSERT_TRUE(server->deliver(input.mid(offset, size)));
        offset += size;
        const qsizetype complete = offset / 640;
        EXPECT_TRUE(waitUntil([&] { return got->size() >= complete; }, std::chrono::milliseconds(500)))
            << "frame " << complete - 1 << " held back after " << offset << " bytes";
        runEventLoopFor(5ms);
        EXPECT_EQ(got->size(), complete);
    }
    runBlocking(capture.stop());
    runBlocking(std::move(reading));
}

TEST_F(AudioCaptureTest, EachLevelFollowsItsFrame)
{
    AudioFrameStream frames = startCapture();
    Channel<float> levels = capture.rmsStream();
    auto order = std::make_shared<QStringList>();
    auto readFrames = [](AudioFrameStream stream, std::shared_ptr<QStringList> order) -> QCoro::Task<void> {
        for (;;) {
            std::optional<AudioFrame> frame = co_await stream.next();
            if (!frame)
                co_return;
            order->append(QStringLiteral("frame %1").arg(frame->sequence));
        }
    };
    auto readLevels = [](Channel<float> stream, std::shared_ptr<QStringList> order) -> QCoro::Task<void> {
        for (;;) {
            std::optional<float> level = co_await stream.next();
            if (!level)
                co_return;
            order->append(QStringLiteral("level %1").arg(qRound(*level * 32768.0f)));
        }
    };
    QCoro::Task<void> frameReader = readFrames(frames, order);
    QCoro::Task<void> levelReader = readLevels(levels, order);

    for (int i = 0; i < 3; ++i) {
        // One frame per hand-over, so each reader wakes once per frame.
        ASSERT_TRUE(server->deliver(constantSamples(320, static_cast<qint16>(1000 * (i + 1)))));
        ASSERT_TRUE(waitUntil([&] { return order->size() == 2 * (i + 1); }));
    }
    EXPECT_THAT(*order, ElementsAre(QStringLiteral("frame 0"), QStringLiteral("level 1000"), QStringLiteral("frame 1"),
                                    QStringLiteral("level 2000"), QStringLiteral("frame 2"), QStringLiteral("level 3000")));
    runBlocking(capture.stop());
    runBlocking(std::move(frameReader));
    runBlocking(std::move(levelReader));
}

TEST_F(AudioCaptureTest, StartWhileRunningFailsAndTheRunGoesOn)
{
    AudioFrameStream frames = startCapture();
    const auto error = errorOf<AudioCaptureError>(capture.start());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), AudioCaptureError::Kind::alreadyRunning);
    EXPECT_EQ(server->openCount(), 1);

    ASSERT_TRUE(server->deliver(constantSamples(320, 5)));
    const QList<AudioFrame> got = runBlocking(take(frames, 1));
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].sequence, 0);
    EXPECT_TRUE(capture.isRunning());
}

TEST_F(AudioCaptureTest, StartWhileTheFirstIsStillOpeningFails)
{
    server->holdOpens();
    QCoro::Task<AudioFrameStream> first = capture.start();
    const auto error = errorOf<AudioCaptureError>(capture.start());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), AudioCaptureError::Kind::alreadyRunning);

    server->releaseOpen();
    runBlocking(std::move(first));
    EXPECT_TRUE(capture.isRunning());
    EXPECT_EQ(server->openCount(), 1);
}

TEST_F(AudioCaptureTest, UnavailableMicrophoneIsDeniedBeforeTheServerIsAskedToRecord)
{
    platform::SoundServerSnapshot unreachable;
    unreachable.failure = QStringLiteral("Connection refused");
    platform::SoundServerSnapshot onlyMonitors = FakeSoundServer::oneMicrophone();
    onlyMonitors.sources.removeLast();
    platform::SoundServerSnapshot noSources = FakeSoundServer::oneMicrophone();
    noSources.sources.clear();

    for (const platform::SoundServerSnapshot& answer : {unreachable, onlyMonitors, noSources}) {
        server->answer = answer;
        const auto error = errorOf<AudioCaptureError>(capture.start());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), AudioCaptureError::Kind::permissionDenied);
        EXPECT_FALSE(capture.isRunning());
    }
    EXPECT_EQ(server->snapshotCount(), 3);
    EXPECT_EQ(server->openCount(), 0);
}

TEST_F(AudioCaptureTest, RefusedStreamIsAnEngineFailureAndTheNextStartWorks)
{
    server->refusal = QStringLiteral("No such entity");
    const auto error = errorOf<AudioCaptureError>(capture.start());
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, AudioCaptureError::engineFailed(QStringLiteral("No such entity")));
    EXPECT_FALSE(capture.isRunning());
    EXPECT_TRUE(lines(SystemLogLevel::Info).isEmpty());

    AudioFrameStream frames = startCapture();
    ASSERT_TRUE(server->deliver(constantSamples(320, 7)));
    const QList<AudioFrame> got = runBlocking(take(frames, 1));
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].sequence, 0);
}

TEST_F(AudioCaptureTest, StopDiscardsThePartialFrameAndFinishesBothStreams)
{
    AudioFrameStream frames = startCapture();
    Channel<float> levels = capture.rmsStream();
    // One frame and 200 samples more.
    ASSERT_TRUE(server->deliver(countingSamples(520)));
    settle();
    runBlocking(capture.stop());

    EXPECT_FALSE(capture.isRunning());
    EXPECT_FALSE(server->isStreamOpen());
    EXPECT_EQ(server->closeCount(), 1);
    const QList<AudioFrame> got = drainToEnd(frames);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].pcm, countingSamples(320));
    EXPECT_EQ(drainToEnd(levels).size(), 1);
    EXPECT_EQ(lines(SystemLogLevel::Info).constLast(), QStringLiteral("audio engine stopped"));

    // Nothing to stop any more.
    runBlocking(capture.stop());
    EXPECT_EQ(lines(SystemLogLevel::Info).count(QStringLiteral("audio engine stopped")), 1);
}

TEST_F(AudioCaptureTest, RestartNumbersFromZeroWithNothingOfTheEarlierRun)
{
    struct Case {
        const char* name;
        bool handedOverBeforeStop; // else the chunk is still on its way when the run ends
    };
    for (const Case& c : {Case {"partial frame waiting", true}, Case {"late chunk", false}}) {
        SCOPED_TRACE(c.name);
        startCapture();
        ASSERT_TRUE(server->deliver(constantSamples(520, 1111)));
        if (c.handedOverBeforeStop)
            settle();
        runBlocking(capture.stop());

        AudioFrameStream frames = startCapture();
        const QByteArray fresh = countingSamples(640);
        ASSERT_TRUE(server->deliver(fresh));
        const QList<AudioFrame> got = runBlocking(take(frames, 2));
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
    EXPECT_TRUE(lines(SystemLogLevel::Default).isEmpty());
}

TEST_F(AudioCaptureTest, KeepsTheNewest3000FramesAndWarnsOncePerRun)
{
    struct Case {
        int frames;
        int warnings;
    };
    int warningsSoFar = 0;
    for (const Case& c : {Case {3000, 0}, Case {3100, 1}, Case {3500, 1}}) {
        SCOPED_TRACE(c.frames);
        AudioFrameStream frames = startCapture();
        for (int i = 0; i < c.frames; ++i)
            server->deliver(constantSamples(320, static_cast<qint16>(i % 30000)));
        settle();
        runBlocking(capture.stop());

        const QList<AudioFrame> kept = drainToEnd(frames);
        ASSERT_EQ(kept.size(), 3000);
        EXPECT_EQ(kept.constFirst().sequence, c.frames - 3000);
        EXPECT_EQ(kept.constLast().sequence, c.frames - 1);
        const QStringList warnings = lines(SystemLogLevel::Default);
        EXPECT_EQ(warnings.size(), warningsSoFar + c.warnings);
        warningsSoFar = static_cast<int>(warnings.size());
    }
    EXPECT_THAT(lines(SystemLogLevel::Default),
                ElementsAre(QStringLiteral("audio frames dropped: the consumer is more than 60 s behind"),
                            QStringLiteral("audio frames dropped: the consumer is more than 60 s behind")));
}

TEST_F(AudioCaptureTest, LevelStreamKeepsTheNewestEightAndAReplacedOneEnds)
{
    Channel<float> first = capture.rmsStream();
    startCapture();
    for (int i = 1; i <= 2; ++i)
        server->deliver(constantSamples(320, static_cast<qint16>(100 * i)));
    settle();
    Channel<float> second = capture.rmsStream();
    for (int i = 3; i <= 22; ++i)
        server->deliver(constantSamples(320, static_cast<qint16>(100 * i)));
    settle();

    const QList<float> early = drainToEnd(first);
    EXPECT_THAT(early, ElementsAre(100.0f / 32768.0f, 200.0f / 32768.0f));

    runBlocking(capture.stop());
    QList<int> late;
    for (float level : drainToEnd(second))
        late << qRound(level * 32768.0f);
    EXPECT_THAT(late, ElementsAre(1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200));
}

TEST_F(AudioCaptureTest, ChoosingADeviceOnlyWarns)
{
    capture.setSelectedInputDeviceUID(std::nullopt);
    capture.setSelectedInputDeviceUID(QString());
    EXPECT_TRUE(systemLog->entries().isEmpty());
    capture.setSelectedInputDeviceUID(QStringLiteral("alsa_input.usb-mic"));
    capture.setSelectedInputDeviceUID(QStringLiteral("alsa_input.usb-mic"));
    EXPECT_THAT(lines(SystemLogLevel::Default),
                ElementsAre(QStringLiteral("custom input device selection is disabled; using system default input device"),
                            QStringLiteral("custom input device selection is disabled; using system default input device")));
    startCapture();
    EXPECT_EQ(server->openCount(), 1);
}

TEST_F(AudioCaptureTest, ABrokenStreamIsLogged)
{
    startCapture();
    ASSERT_TRUE(server->breakStream(QStringLiteral("Connection terminated")));
    ASSERT_TRUE(waitUntil([&] { return !lines(SystemLogLevel::Default).isEmpty(); }));
    const auto entry = systemLog->entries().constLast();
    EXPECT_EQ(entry.publicPart, QStringLiteral("audio stream failed"));
    EXPECT_EQ(entry.privatePart, QStringLiteral("Connection terminated"));
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
    settle();
}

} // namespace
} // namespace vellamor::test
