#include "ASRTestSupport.h"
#include "Models/NetworkError.h"
#include "Models/VellamorTransportError.h"
#include "Networking/CloudASRProvider.h"
#include "RecordingWebSocketTransport.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <string>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

const QString stopFrame = QStringLiteral(R"({"type":"stop"})");

class CloudProviderTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        runBlocking(provider->cancel());
        provider.reset();
        afterQueuedCalls();
    }

    static ASRSessionConfig config()
    {
        return ASRSessionConfig(QUrl(QStringLiteral("wss://asr.example.com/v1/session")), QStringLiteral("zh"),
                                QStringLiteral("chat"), QStringLiteral("default"), true, QStringLiteral("qwen"),
                                QStringLiteral("tok"));
    }

    ASREventStream open() { return runBlocking(provider->stream(config(), audio)); }

    void receive(const char* frame) { transport->pushIncoming(WSMessage::text(QString::fromUtf8(frame))); }

    std::shared_ptr<RecordingWebSocketTransport> transport = std::make_shared<RecordingWebSocketTransport>();
    std::unique_ptr<CloudASRProvider> provider = std::make_unique<CloudASRProvider>(
        transport, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("asr-cloud"), nullptr, nullptr));
    AudioFrameStream audio;
};

TEST_F(CloudProviderTest, SendsTheStartFrameFirstAndThenFramesCapturedMeanwhileInOrder)
{
    audio.push(markedFrame(0));
    audio.push(markedFrame(1));
    transport->holdNextSend();
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    audio.push(markedFrame(2));
    afterQueuedCalls();
    // Nothing is taken from the capture while the start frame is on its way.
    EXPECT_EQ(transport->sent().size(), 1);

    transport->releaseSend();
    runBlocking(std::move(streaming));
    audio.push(markedFrame(3));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 4; }));

    EXPECT_EQ(transport->calls().first(), QStringLiteral("connect wss://asr.example.com/v1/session"));
    EXPECT_EQ(transport->lastBearerToken(), QStringLiteral("tok"));
    EXPECT_EQ(transport->sent().first(),
              WSMessage::text(QStringLiteral(
                  R"({"lang":"zh","llm_provider":"qwen","polish":true,"scene":"chat","style":"default","type":"start"})")));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(transport->sentBinary().at(i).data(), markedFrame(i).pcm) << "frame " << i;
}

TEST_F(CloudProviderTest, AFailureWhileOpeningIsPassedOnAndLeavesNothingRunning)
{
    transport->setConnectError(std::make_exception_ptr(NetworkError(NetworkError::Kind::cannotConnect)));
    EXPECT_THROW(open(), NetworkError);
    EXPECT_TRUE(transport->sent().isEmpty());

    transport->setConnectError(nullptr);
    transport->setSendFailure([](const WSMessage&, int index) {
        return index == 0 ? std::make_exception_ptr(VellamorTransportError::connectionClosed()) : nullptr;
    });
    EXPECT_THROW(open(), VellamorTransportError);
    audio.push(markedFrame(0));
    afterQueuedCalls();
    EXPECT_EQ(transport->sent().size(), 1);
    // The socket is left to the next connect or cancel.
    EXPECT_EQ(transport->closeCount(), 0);
}

// Text frames become events in order, a long one (parsed off the main
// thread) too; binary and unknown frames are skipped. Done or an error is
// the last event, and the socket is left to the service or the next connect.
TEST_F(CloudProviderTest, TurnsServiceFramesIntoEventsUntilDoneOrAnError)
{
    const QString longText(200'000, QLatin1Char('x'));
    const std::string longFinal = R"({"type":"final","text":")" + longText.toStdString() + R"("})";
    const struct {
        QList<const char*> frames;
        QList<ASRStreamEvent> events;
    } cases[] = {
        {{R"({"type":"ready"})", R"({"type":"partial","text":"ni"})", R"({"type":"mystery"})",
          R"({"type":"final","text":"ni hao"})", R"({"type":"polish","data":{"text":"你好。"}})", R"({"type":"done"})",
          R"({"type":"partial","text":"late"})"},
         {ASRStreamEvent::ready(), ASRStreamEvent::partial(QStringLiteral("ni")),
          ASRStreamEvent::final(QStringLiteral("ni hao")), ASRStreamEvent::polish(QStringLiteral("你好。")),
          ASRStreamEvent::done()}},
        {{R"({"type":"error","code":50021,"msg":"x"})", R"({"type":"final","text":"late"})"},
         {ASRStreamEvent::error(50021, QStringLiteral("x"))}},
        {{R"({"type":"partial","text":"x"})", longFinal.c_str(), R"({"type":"polish","text":"y"})",
          R"({"type":"done"})"},
         {ASRStreamEvent::partial(QStringLiteral("x")), ASRStreamEvent::final(longText),
          ASRStreamEvent::polish(QStringLiteral("y")), ASRStreamEvent::done()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames.first());
        const ASREventStream events = open();
        transport->pushIncoming(WSMessage::binary(QByteArrayLiteral("\x01\x02")));
        for (const char* frame : c.frames)
            receive(frame);

        const EventOutcome outcome = drainEvents(events);
        EXPECT_EQ(outcome.events, c.events);
        EXPECT_FALSE(outcome.error) << outcome.errorText().toStdString();
    }
    EXPECT_EQ(transport->closeCount(), 0);
}

TEST_F(CloudProviderTest, TheIncomingStreamsEndIsTheEndOfTheEvents)
{
    for (const bool failed : {true, false}) {
        SCOPED_TRACE(failed ? "socket failure" : "normal end");
        const ASREventStream events = open();
        receive(R"({"type":"partial","text":"a"})");
        transport->finishIncoming(
            failed ? std::make_exception_ptr(NetworkError(NetworkError::Kind::connectionLost)) : nullptr);

        const EventOutcome outcome = drainEvents(events);
        EXPECT_EQ(outcome.events, QList<ASRStreamEvent>{ASRStreamEvent::partial(QStringLiteral("a"))});
        EXPECT_EQ(holds<NetworkError>(outcome.error), failed);
        EXPECT_EQ(outcome.error != nullptr, failed);
    }
}

TEST_F(CloudProviderTest, AFailedAudioSendStopsTheAudioButNotTheSession)
{
    transport->setSendFailure([](const WSMessage& message, int index) {
        return message.isBinary() && index == 2
            ? std::make_exception_ptr(NetworkError(NetworkError::Kind::connectionLost))
            : nullptr;
    });
    const ASREventStream events = open();
    for (int i = 0; i < 4; ++i)
        audio.push(markedFrame(i));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 2; }));
    afterQueuedCalls();
    EXPECT_EQ(transport->sentBinary().size(), 2);

    receive(R"({"type":"final","text":"f"})");
    receive(R"({"type":"done"})");
    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{ASRStreamEvent::final(QStringLiteral("f")), ASRStreamEvent::done()}));
    EXPECT_FALSE(outcome.error);
}

TEST_F(CloudProviderTest, StopSendsOneStopFrameAndTakesNoFurtherAudio)
{
    runBlocking(provider->stop());
    EXPECT_TRUE(transport->sent().isEmpty()) << "no session, nothing to stop";
    const ASREventStream events = open();
    audio.push(markedFrame(0));
    audio.push(markedFrame(1));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 2; }));

    runBlocking(provider->stop());
    runBlocking(provider->stop());
    audio.push(markedFrame(2));
    afterQueuedCalls();

    EXPECT_EQ(transport->sentTexts().mid(1), QStringList{stopFrame});
    EXPECT_EQ(transport->sentBinary().size(), 2);
    // Stopping neither ends the events nor closes the socket.
    EXPECT_FALSE(events.isTerminated());
    EXPECT_EQ(transport->closeCount(), 0);
    receive(R"({"type":"done"})");
    EXPECT_EQ(drainEvents(events).events, QList<ASRStreamEvent>{ASRStreamEvent::done()});
}

TEST_F(CloudProviderTest, AFailedStopFrameIsNoFailureOfStop)
{
    transport->setSendFailure([](const WSMessage& message, int index) {
        return message.isText() && index > 0 ? std::make_exception_ptr(VellamorTransportError::connectionClosed())
                                             : nullptr;
    });
    open();
    EXPECT_NO_THROW(runBlocking(provider->stop()));
    EXPECT_EQ(transport->sentTexts().last(), stopFrame);
}

TEST_F(CloudProviderTest, CancelEndsTheEventsAtOnceClosesTheSocketAndSendsNoStopFrame)
{
    runBlocking(provider->cancel());
    EXPECT_EQ(transport->calls(), QStringList{QStringLiteral("close")}) << "without a session only the socket is closed";
    const ASREventStream events = open();
    audio.push(markedFrame(0));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 1; }));

    runBlocking(provider->cancel());
    EXPECT_TRUE(events.isTerminated());
    receive(R"({"type":"final","text":"late"})");
    audio.push(markedFrame(1));
    runBlocking(provider->stop());
    afterQueuedCalls();

    const EventOutcome outcome = drainEvents(events);
    EXPECT_TRUE(outcome.events.isEmpty());
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(transport->calls().last(), QStringLiteral("close"));
    EXPECT_EQ(transport->sentTexts().size(), 1) << "no stop frame";
    EXPECT_EQ(transport->sentBinary().size(), 1);
}

// A cancel while connect() or the start frame's send is pending: the session
// never begins and no socket stays open.
TEST_F(CloudProviderTest, CancelWhileOpeningEndsTheSessionBeforeItBegins)
{
    for (const bool whileConnecting : {true, false}) {
        SCOPED_TRACE(whileConnecting ? "connecting" : "sending the start frame");
        if (whileConnecting)
            transport->holdNextConnect();
        else
            transport->holdNextSend();
        auto streaming = provider->stream(config(), audio);
        ASSERT_TRUE(waitUntil([&] { return transport->isConnectHeld() || transport->isSendHeld(); }));
        runBlocking(provider->cancel());
        if (whileConnecting)
            transport->releaseConnect();
        else
            transport->releaseSend();

        EXPECT_THROW(runBlocking(std::move(streaming)), CancellationError);
        EXPECT_FALSE(transport->isOpen());
        audio.push(markedFrame(0));
        afterQueuedCalls();
        EXPECT_TRUE(transport->sentBinary().isEmpty());
        // No start frame follows a connect that was cancelled.
        EXPECT_EQ(transport->sentTexts().size(), whileConnecting ? 0 : 1);
    }
}

// What was captured before the stop still goes out, between the start frame
// and the stop frame; nothing captured after it does.
TEST_F(CloudProviderTest, AStopWhileTheStartFrameIsOnItsWayFollowsTheStartFrameAndTheAudioBeforeIt)
{
    audio.push(markedFrame(0));
    transport->holdNextSend();
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    audio.push(markedFrame(1));
    runBlocking(provider->stop());
    audio.push(markedFrame(2));
    EXPECT_EQ(transport->sentTexts().size(), 1);

    transport->releaseSend();
    const ASREventStream events = runBlocking(std::move(streaming));
    runBlocking(provider->stop());
    afterQueuedCalls();

    ASSERT_EQ(transport->sent().size(), 4);
    EXPECT_EQ(transport->sent().at(1).data(), markedFrame(0).pcm);
    EXPECT_EQ(transport->sent().at(2).data(), markedFrame(1).pcm);
    EXPECT_EQ(transport->sent().last(), WSMessage::text(stopFrame));
    receive(R"({"type":"final","text":""})");
    receive(R"({"type":"done"})");
    EXPECT_EQ(drainEvents(events).events.size(), 2);
}

TEST_F(CloudProviderTest, AnEarlierSessionsAudioNeverReachesTheNextSession)
{
    const ASREventStream first = open();
    receive(R"({"type":"done"})");
    drainEvents(first);

    AudioFrameStream secondAudio;
    transport->holdNextSend();
    auto streaming = provider->stream(config(), secondAudio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    // The first capture is still delivering; its frames belong to no session now.
    audio.push(markedFrame(1));
    afterQueuedCalls();
    transport->releaseSend();
    runBlocking(std::move(streaming));
    secondAudio.push(markedFrame(2));
    ASSERT_TRUE(waitUntil([&] { return !transport->sentBinary().isEmpty(); }));
    afterQueuedCalls();

    EXPECT_EQ(transport->sentBinary(), QList<WSMessage>{WSMessage::binary(markedFrame(2).pcm)});
}

} // namespace
} // namespace vellamor::test
