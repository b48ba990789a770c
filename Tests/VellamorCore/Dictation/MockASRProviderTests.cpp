#include "Dictation/MockASRProvider.h"
#include "EngineTestPrinters.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/TaskHandle.h"
#include "WaitUntil.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using namespace vellamor;
using vellamor::test::runEventLoopFor;
using vellamor::test::waitUntil;

namespace {

using Events = std::vector<ASRStreamEvent>;

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

ASRSessionConfig anyConfig()
{
    return ASRSessionConfig(QUrl(q("wss://h/v1/session")), q("zh"), q("chat"), q("s"), true, std::nullopt,
                            std::nullopt);
}

// Reads a stream to its end in the background, noting when each event came.
class EventReader {
public:
    explicit EventReader(ASREventStream stream)
    {
        clock_->start();
        TaskHandle::start([stream, state = state_, clock = clock_](std::stop_token) { return read(stream, state, clock); });
    }

    const Events& events() const { return state_->events; }
    qint64 arrivalOf(std::size_t index) const { return state_->arrivals.at(index); }
    bool ended() const { return state_->ended; }
    bool waitForEnd() const
    {
        return waitUntil([state = state_] { return state->ended; });
    }

private:
    struct State {
        Events events;
        std::vector<qint64> arrivals;
        bool ended = false;
    };

    static QCoro::Task<void> read(ASREventStream stream, std::shared_ptr<State> state,
                                  std::shared_ptr<QElapsedTimer> clock)
    {
        for (;;) {
            const std::optional<ASRStreamEvent> event = co_await stream.next();
            if (!event)
                break;
            state->events.push_back(*event);
            state->arrivals.push_back(clock->elapsed());
        }
        state->ended = true;
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::shared_ptr<QElapsedTimer> clock_ = std::make_shared<QElapsedTimer>();
};

// Whether a drain has given up reading the audio stream.
std::shared_ptr<bool> watchAbandoned(const AudioFrameStream& audio)
{
    auto abandoned = std::make_shared<bool>(false);
    audio.onTermination([abandoned](ChannelTermination how) {
        if (how == ChannelTermination::Cancelled)
            *abandoned = true;
    });
    return abandoned;
}

const ASRStreamEvent kReady = ASRStreamEvent::ready();
const ASRStreamEvent kDone = ASRStreamEvent::done();

} // namespace

TEST(MockASRProvider, StopOrCancelWithoutStreamReturnsAtOnce)
{
    MockASRProvider mock(q("hello world"), std::nullopt);
    auto stopping = mock.stop();
    EXPECT_TRUE(stopping.isReady());
    auto cancelling = mock.cancel();
    EXPECT_TRUE(cancelling.isReady());
}

TEST(MockASRProvider, NormalSessionAnswersOnItsTimeline)
{
    auto mock = MockASRProvider::makeForApplication();
    EventReader reader(runBlocking(mock->stream(anyConfig(), AudioFrameStream())));
    ASSERT_TRUE(waitUntil([&] { return reader.events().size() == 1; }));
    QElapsedTimer sinceStop;
    sinceStop.start();
    const qint64 stopAt = reader.arrivalOf(0);
    runBlocking(mock->stop());
    EXPECT_GE(sinceStop.elapsed(), 299);
    ASSERT_TRUE(reader.waitForEnd());

    EXPECT_EQ(reader.events(), (Events{kReady, ASRStreamEvent::final(q("hello world")),
                                       ASRStreamEvent::polish(q("hello world")), kDone}));
    EXPECT_GE(reader.arrivalOf(1) - stopAt, 199);
    EXPECT_GE(reader.arrivalOf(2) - stopAt, 299);
}

TEST(MockASRProvider, TextsGivenAtConstructionAreEmittedUnchecked)
{
    const struct {
        QString finalText;
        std::optional<QString> polishText;
        QString expectedPolish;
    } cases[] = {
        {q("raw"), q("Polished."), q("Polished.")},
        {QString(), std::nullopt, QString()},
    };
    for (const auto& c : cases) {
        MockASRProvider mock(c.finalText, c.polishText, MockASRProvider::Timing{1ms, 1ms});
        EventReader reader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
        runBlocking(mock.stop());
        ASSERT_TRUE(reader.waitForEnd());
        EXPECT_EQ(reader.events(), (Events{kReady, ASRStreamEvent::final(c.finalText),
                                           ASRStreamEvent::polish(c.expectedPolish), kDone}));
    }
}

TEST(MockASRProvider, CancelDuringThePausesEndsTheStreamAtOnce)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{300ms, 50ms});
    EventReader reader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
    auto stopping = mock.stop();
    runEventLoopFor(10ms);
    runBlocking(mock.cancel());
    ASSERT_TRUE(reader.waitForEnd());
    EXPECT_FALSE(stopping.isReady());
    runBlocking(std::move(stopping));
    runEventLoopFor(5ms);
    EXPECT_EQ(reader.events(), Events{kReady});
}

TEST(MockASRProvider, SecondStopAfterTheFirstReturnsAtOnce)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{1ms, 1ms});
    EventReader reader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
    runBlocking(mock.stop());
    auto again = mock.stop();
    EXPECT_TRUE(again.isReady());
    ASSERT_TRUE(reader.waitForEnd());
    EXPECT_EQ(reader.events().size(), 4u);
}

TEST(MockASRProvider, OverlappingStopsRunTheirOwnTimelinesOnOneStream)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{100ms, 100ms});
    EventReader reader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
    auto first = mock.stop();
    runEventLoopFor(20ms);
    auto second = mock.stop();
    runBlocking(std::move(first));
    runBlocking(std::move(second));
    ASSERT_TRUE(reader.waitForEnd());
    // The second final lands before the first stop finishes the stream; the
    // second stop's later events are dropped.
    EXPECT_EQ(reader.events(), (Events{kReady, ASRStreamEvent::final(q("a")), ASRStreamEvent::final(q("a")),
                                       ASRStreamEvent::polish(q("a")), kDone}));
}

TEST(MockASRProvider, NewStreamEndsThePreviousOneAndItsDrain)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{1ms, 1ms});
    AudioFrameStream firstAudio;
    const auto firstAbandoned = watchAbandoned(firstAudio);
    EventReader firstReader(runBlocking(mock.stream(anyConfig(), firstAudio)));
    EventReader secondReader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));

    ASSERT_TRUE(firstReader.waitForEnd());
    EXPECT_EQ(firstReader.events(), Events{kReady});
    ASSERT_TRUE(waitUntil([&] { return *firstAbandoned; }));
    ASSERT_TRUE(waitUntil([&] { return secondReader.events().size() == 1; }));
    EXPECT_EQ(secondReader.events(), Events{kReady});
    runBlocking(mock.cancel());
    EXPECT_TRUE(secondReader.waitForEnd());
}

// A stream() during stop()'s pauses belongs to a newer session: the older
// stop() must leave its stream and drain alone, so it can still be stopped.
TEST(MockASRProvider, StopRacingANewStreamLeavesTheNewSessionIntact)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{100ms, 20ms});
    EventReader oldReader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
    auto oldStop = mock.stop();
    runEventLoopFor(5ms);

    AudioFrameStream newAudio;
    const auto newAbandoned = watchAbandoned(newAudio);
    EventReader newReader(runBlocking(mock.stream(anyConfig(), newAudio)));
    runBlocking(std::move(oldStop));
    ASSERT_TRUE(oldReader.waitForEnd());
    EXPECT_EQ(oldReader.events(), Events{kReady});

    runEventLoopFor(5ms);
    EXPECT_FALSE(*newAbandoned);
    EXPECT_FALSE(newReader.ended());
    runBlocking(mock.stop());
    ASSERT_TRUE(newReader.waitForEnd());
    EXPECT_EQ(newReader.events(),
              (Events{kReady, ASRStreamEvent::final(q("a")), ASRStreamEvent::polish(q("a")), kDone}));
    EXPECT_TRUE(waitUntil([&] { return *newAbandoned; }));
}

TEST(MockASRProvider, DrainReadsFramesUntilStopCompletes)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{100ms, 20ms});
    AudioFrameStream audio;
    const auto abandoned = watchAbandoned(audio);
    EventReader reader(runBlocking(mock.stream(anyConfig(), audio)));
    auto stopping = mock.stop();
    for (int i = 0; i < 3; ++i)
        audio.push(AudioFrame(QByteArray(640, '\0'), 0.0f, i));
    runEventLoopFor(10ms);
    EXPECT_FALSE(*abandoned);
    runBlocking(std::move(stopping));
    EXPECT_TRUE(waitUntil([&] { return *abandoned; }));
}

TEST(MockASRProvider, AudioEndingBeforeStopStillGetsAnAnswer)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{1ms, 1ms});
    AudioFrameStream audio;
    bool finishedNormally = false;
    audio.onTermination([&](ChannelTermination how) { finishedNormally = how == ChannelTermination::Finished; });
    EventReader reader(runBlocking(mock.stream(anyConfig(), audio)));
    audio.push(AudioFrame(QByteArray(640, '\0'), 0.0f, 0));
    audio.finish();
    runEventLoopFor(5ms);
    EXPECT_TRUE(finishedNormally);
    runBlocking(mock.stop());
    ASSERT_TRUE(reader.waitForEnd());
    EXPECT_EQ(reader.events().size(), 4u);
}

TEST(MockASRProvider, CancelledCallerGetsEveryEventWithoutThePauses)
{
    MockASRProvider mock(q("a"), std::nullopt, MockASRProvider::Timing{5s, 5s});
    EventReader reader(runBlocking(mock.stream(anyConfig(), AudioFrameStream())));
    std::stop_source caller;
    caller.request_stop();
    QElapsedTimer clock;
    clock.start();
    runBlocking(mock.stop(caller.get_token()));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_TRUE(reader.waitForEnd());
    EXPECT_EQ(reader.events(),
              (Events{kReady, ASRStreamEvent::final(q("a")), ASRStreamEvent::polish(q("a")), kDone}));
}

TEST(MockASRProvider, SelectedOnlyByTheExactValueOne)
{
    const struct {
        std::optional<const char*> value;
        bool selected;
    } cases[] = {
        {std::nullopt, false}, {"1", true},     {"", false},   {" 1", false}, {"1 ", false},
        {"true", false},       {"yes", false},  {"01", false}, {"0", false},
    };
    for (const auto& c : cases) {
        QProcessEnvironment environment;
        if (c.value)
            environment.insert(q("VELLAMOR_MOCK_ASR"), q(*c.value));
        EXPECT_EQ(MockASRProvider::isSelected(environment), c.selected) << (c.value ? *c.value : "<unset>");
    }
}

TEST(MockASRProvider, ApplicationInstanceRepeatsTheFinalTextAsPolish)
{
    const auto mock = MockASRProvider::makeForApplication();
    EXPECT_EQ(mock->finalText(), q("hello world"));
    EXPECT_EQ(mock->polishText(), q("hello world"));
}
