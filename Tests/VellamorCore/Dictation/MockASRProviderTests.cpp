#include "Dictation/MockASRProvider.h"
#include "EngineTestPrinters.h"
#include "Support/Async/RunBlocking.h"
#include "WaitUntil.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using namespace vellamor;
using vellamor::test::afterQueuedCalls;
using vellamor::test::waitUntil;

namespace {

using Events = std::vector<ASRStreamEvent>;

QString str(const char* text)
{
    return QString::fromUtf8(text);
}

ASRSessionConfig anyConfig()
{
    return ASRSessionConfig(QUrl(str("wss://h/v1/session")), str("zh"), str("chat"), str("s"), true, std::nullopt,
                            std::nullopt);
}

// The events of a stream that has ended; fails the test when it does not end.
Events eventsOf(const ASREventStream& stream)
{
    Events events;
    while (const std::optional<ASRStreamEvent> event = runBlocking(stream.next(), test::hangCeiling))
        events.push_back(*event);
    return events;
}

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
const ASRStreamEvent kDoneEvent = ASRStreamEvent::done();

// Lets the drains that a test cancelled end before the next test.
class MockASRProviderTest : public ::testing::Test {
protected:
    void TearDown() override { afterQueuedCalls(); }
};

} // namespace

TEST_F(MockASRProviderTest, NormalSessionAnswersOnItsTimeline)
{
    auto mock = MockASRProvider::makeForApplication();
    const ASREventStream events = runBlocking(mock->stream(anyConfig(), AudioFrameStream()));
    EXPECT_EQ(runBlocking(events.next()), kReady);
    QElapsedTimer sinceStop;
    sinceStop.start();
    auto stopping = mock->stop();

    EXPECT_EQ(runBlocking(events.next()), ASRStreamEvent::final(str("hello world")));
    EXPECT_GE(sinceStop.elapsed(), 199);
    EXPECT_EQ(runBlocking(events.next()), ASRStreamEvent::polish(str("hello world")));
    EXPECT_GE(sinceStop.elapsed(), 299);
    runBlocking(std::move(stopping));
    EXPECT_EQ(eventsOf(events), Events{kDoneEvent});
}

TEST_F(MockASRProviderTest, CancelDuringThePausesEndsTheStreamAtOnce)
{
    MockASRProvider mock(str("a"), std::nullopt, MockASRProvider::Timing{300ms, 50ms});
    const ASREventStream events = runBlocking(mock.stream(anyConfig(), AudioFrameStream()));
    // The stop waits in its first pause from the call on.
    auto stopping = mock.stop();
    runBlocking(mock.cancel());
    EXPECT_TRUE(events.isTerminated());
    EXPECT_FALSE(stopping.isReady());
    runBlocking(std::move(stopping));
    EXPECT_EQ(eventsOf(events), Events{kReady});
}

TEST_F(MockASRProviderTest, NewStreamEndsThePreviousOneAndItsDrain)
{
    MockASRProvider mock(str("a"), std::nullopt, MockASRProvider::Timing{1ms, 1ms});
    AudioFrameStream firstAudio;
    const auto firstAbandoned = watchAbandoned(firstAudio);
    const ASREventStream first = runBlocking(mock.stream(anyConfig(), firstAudio));
    const ASREventStream second = runBlocking(mock.stream(anyConfig(), AudioFrameStream()));

    EXPECT_EQ(eventsOf(first), Events{kReady});
    EXPECT_TRUE(waitUntil([&] { return *firstAbandoned; }));
    EXPECT_FALSE(second.isTerminated());
    runBlocking(mock.cancel());
    EXPECT_EQ(eventsOf(second), Events{kReady});
}

// A stream() during stop()'s pauses belongs to a newer session: the older
// stop() must leave its stream and drain alone, so it can still be stopped.
TEST_F(MockASRProviderTest, StopRacingANewStreamLeavesTheNewSessionIntact)
{
    // Pauses that end only when the test cuts them short, however slow the machine.
    MockASRProvider mock(str("a"), str("A."), MockASRProvider::Timing { 1h, 1h });
    const ASREventStream oldEvents = runBlocking(mock.stream(anyConfig(), AudioFrameStream()));
    std::stop_source oldStopper;
    auto oldStop = mock.stop(oldStopper.get_token());

    AudioFrameStream newAudio;
    const auto newAbandoned = watchAbandoned(newAudio);
    const ASREventStream newEvents = runBlocking(mock.stream(anyConfig(), newAudio));
    oldStopper.request_stop();
    runBlocking(std::move(oldStop));
    EXPECT_EQ(eventsOf(oldEvents), Events{kReady});

    afterQueuedCalls();
    EXPECT_FALSE(*newAbandoned);
    EXPECT_FALSE(newEvents.isTerminated());
    std::stop_source newStopper;
    auto newStop = mock.stop(newStopper.get_token());
    newAudio.push(AudioFrame(QByteArray(640, '\0'), 0.0f, 0));
    ASSERT_TRUE(waitUntil([&] { return newAudio.bufferedCount() == 0; }));
    // The drain reads on until its stop completes.
    EXPECT_FALSE(*newAbandoned);
    newStopper.request_stop();
    runBlocking(std::move(newStop));
    EXPECT_EQ(eventsOf(newEvents),
              (Events{kReady, ASRStreamEvent::final(str("a")), ASRStreamEvent::polish(str("A.")), kDoneEvent}));
    EXPECT_TRUE(waitUntil([&] { return *newAbandoned; }));
}

// The texts are not checked: empty ones are answered as they are.
TEST_F(MockASRProviderTest, CancelledCallerGetsEveryEventWithoutThePauses)
{
    // Pauses past the hang ceiling: waiting for them fails the test.
    MockASRProvider mock(QString(), std::nullopt, MockASRProvider::Timing{60s, 60s});
    const ASREventStream events = runBlocking(mock.stream(anyConfig(), AudioFrameStream()));
    std::stop_source caller;
    caller.request_stop();
    runBlocking(mock.stop(caller.get_token()));
    EXPECT_EQ(eventsOf(events),
              (Events{kReady, ASRStreamEvent::final(QString()), ASRStreamEvent::polish(QString()), kDoneEvent}));
}

TEST_F(MockASRProviderTest, SelectedOnlyByTheExactValueOne)
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
            environment.insert(str("VELLAMOR_MOCK_ASR"), str(*c.value));
        EXPECT_EQ(MockASRProvider::isSelected(environment), c.selected) << (c.value ? *c.value : "<unset>");
    }
}
