#include "ASRTestSupport.h"
#include "Models/VellamorTransportError.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/NetworkError.h"
#include "RecordingWebSocketTransport.h"
#include "WaitUntil.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

const QString startOfZhSession = QStringLiteral(R"({"lang":"zh","polish":true,"scene":"chat","style":"default","type":"start"})");
const QString stopFrame = QStringLiteral(R"({"type":"stop"})");

class CloudProviderTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        runBlocking(provider->cancel());
        provider.reset();
        runEventLoopFor(5ms);
    }

    static ASRSessionConfig config(QUrl endpoint = QUrl(QStringLiteral("wss://asr.example.com/v1/session")))
    {
        return ASRSessionConfig(std::move(endpoint), QStringLiteral("zh"), QStringLiteral("chat"),
                                QStringLiteral("default"), true, std::nullopt, QStringLiteral("tok"));
    }

    ASREventStream open() { return runBlocking(provider->stream(config(), audio)); }

    QStringList lines() const { return logLines(*systemLog, QStringLiteral("asr-cloud")); }

    // Key order is the encoder's: compare the frames as objects.
    static QJsonObject object(const QString& text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

    std::shared_ptr<RecordingWebSocketTransport> transport = std::make_shared<RecordingWebSocketTransport>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    std::unique_ptr<CloudASRProvider> provider = std::make_unique<CloudASRProvider>(
        transport, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("asr-cloud"), systemLog, nullptr));
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
    runEventLoopFor(10ms);
    // Nothing is taken from the capture while the start frame is on its way.
    EXPECT_EQ(transport->sent().size(), 1);

    transport->releaseSend();
    const ASREventStream events = runBlocking(std::move(streaming));
    audio.push(markedFrame(3));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 4; }));

    EXPECT_EQ(transport->calls().first(), QStringLiteral("connect wss://asr.example.com/v1/session"));
    EXPECT_EQ(transport->lastBearerToken(), QStringLiteral("tok"));
    ASSERT_TRUE(transport->sent().first().isText());
    EXPECT_EQ(object(transport->sent().first().text()), object(startOfZhSession));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(transport->sentBinary().at(i).data(), markedFrame(i).pcm) << "frame " << i;
    EXPECT_EQ(lines().mid(0, 3), (QStringList{
                                     QStringLiteral("info stream begin host=asr.example.com lang=zh polish=true | "
                                                    "wss://asr.example.com/v1/session"),
                                     QStringLiteral("info start frame sent"),
                                     QStringLiteral("info pump started"),
                                 }));
}

TEST_F(CloudProviderTest, NamesTheModelInTheStartFrameAndLogsHostNilForAUrlWithoutHost)
{
    ASRSessionConfig c(QUrl(QStringLiteral("ws:/v1/session")), QStringLiteral("en"), QStringLiteral("mail"),
                       QStringLiteral("formal"), false, QStringLiteral("qwen"), std::nullopt);
    runBlocking(provider->stream(c, audio));
    EXPECT_EQ(object(transport->sentTexts().first()).value(QStringLiteral("llm_provider")).toString(),
              QStringLiteral("qwen"));
    EXPECT_EQ(transport->lastBearerToken(), std::nullopt);
    EXPECT_EQ(lines().first(), QStringLiteral("info stream begin host=nil lang=en polish=false | ws:/v1/session"));
}

TEST_F(CloudProviderTest, AConnectFailureIsPassedToTheCaller)
{
    transport->setConnectError(std::make_exception_ptr(NetworkError(NetworkError::Kind::cannotConnect)));
    EXPECT_THROW(open(), NetworkError);
    EXPECT_TRUE(transport->sent().isEmpty());
}

TEST_F(CloudProviderTest, AFailedStartFrameIsPassedOnAndLeavesNothingRunningAndTheSocketOpen)
{
    transport->setSendFailure([](const WSMessage&, int index) {
        return index == 0 ? std::make_exception_ptr(VellamorTransportError::connectionClosed()) : nullptr;
    });
    EXPECT_THROW(open(), VellamorTransportError);
    audio.push(markedFrame(0));
    runEventLoopFor(20ms);
    EXPECT_EQ(transport->sent().size(), 1);
    EXPECT_EQ(transport->closeCount(), 0);
    EXPECT_FALSE(lines().contains(QStringLiteral("info start frame sent")));
}

TEST_F(CloudProviderTest, TurnsServiceFramesIntoEventsInOrderAndEndsAfterDone)
{
    const ASREventStream events = open();
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"ready"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"partial","text":"ni"})")));
    transport->pushIncoming(WSMessage::binary(QByteArrayLiteral("\x01\x02")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"mystery"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"final","text":"ni hao"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"polish","data":{"text":"你好。"}})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"partial","text":"late"})")));

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::partial(QStringLiteral("ni")),
                                  ASRStreamEvent::final(QStringLiteral("ni hao")),
                                  ASRStreamEvent::polish(QStringLiteral("你好。")),
                                  ASRStreamEvent::done(),
                              }));
    EXPECT_FALSE(outcome.error) << outcome.errorText().toStdString();
    EXPECT_EQ(lines().mid(3), (QStringList{
                                  QStringLiteral(R"(warn unknown ws text frame | {"type":"mystery"})"),
                                  QStringLiteral("info pump got done, finishing"),
                              }));
    // Done leaves the socket to the service or the next connect.
    EXPECT_EQ(transport->closeCount(), 0);
}

TEST_F(CloudProviderTest, AnErrorFrameIsTheLastEventAndTheStreamEndsNormally)
{
    const ASREventStream events = open();
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"error","code":50021,"msg":"x"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"final","text":"late"})")));

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, QList<ASRStreamEvent>{ASRStreamEvent::error(50021, QStringLiteral("x"))});
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(lines().last(), QStringLiteral("warn pump got error code=50021 | x"));
}

TEST_F(CloudProviderTest, ASocketFailureEndsTheStreamWithItsErrorAfterTheEarlierEvents)
{
    const ASREventStream events = open();
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"partial","text":"a"})")));
    transport->finishIncoming(std::make_exception_ptr(NetworkError(NetworkError::Kind::connectionLost, QStringLiteral("reset"))));

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, QList<ASRStreamEvent>{ASRStreamEvent::partial(QStringLiteral("a"))});
    EXPECT_TRUE(holds<NetworkError>(outcome.error));
    EXPECT_EQ(lines().last(), QStringLiteral(R"(warn pump failed: connectionLost("reset"))"));
}

TEST_F(CloudProviderTest, AnIncomingStreamThatEndsNormallyEndsTheEventsNormally)
{
    const ASREventStream events = open();
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"partial","text":"a"})")));
    transport->finishIncoming();

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events.size(), 1);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(lines().last(), QStringLiteral("info pump stream ended"));
}

TEST_F(CloudProviderTest, AFailedAudioSendStopsTheAudioButNotTheSession)
{
    transport->setSendFailure([](const WSMessage& message, int index) {
        return message.isBinary() && index == 2
            ? std::make_exception_ptr(NetworkError(NetworkError::Kind::connectionLost, QStringLiteral("full")))
            : nullptr;
    });
    const ASREventStream events = open();
    for (int i = 0; i < 4; ++i)
        audio.push(markedFrame(i));
    ASSERT_TRUE(waitUntil([&] { return lines().contains(QStringLiteral(R"(warn audio pump failed: connectionLost("full"))")); }));
    runEventLoopFor(10ms);
    EXPECT_EQ(transport->sentBinary().size(), 2);

    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"final","text":"f"})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{ASRStreamEvent::final(QStringLiteral("f")), ASRStreamEvent::done()}));
    EXPECT_FALSE(outcome.error);
}

TEST_F(CloudProviderTest, StopSendsOneStopFrameAndTakesNoFurtherAudio)
{
    const ASREventStream events = open();
    audio.push(markedFrame(0));
    audio.push(markedFrame(1));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 2; }));

    runBlocking(provider->stop());
    runBlocking(provider->stop());
    audio.push(markedFrame(2));
    runEventLoopFor(20ms);

    EXPECT_EQ(transport->sentTexts().mid(1), QStringList{stopFrame});
    EXPECT_EQ(transport->sentBinary().size(), 2);
    // Stopping neither ends the events nor closes the socket.
    EXPECT_FALSE(events.isTerminated());
    EXPECT_EQ(transport->closeCount(), 0);
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    EXPECT_EQ(drainEvents(events).events, QList<ASRStreamEvent>{ASRStreamEvent::done()});
}

TEST_F(CloudProviderTest, AFailedStopFrameIsLogged)
{
    transport->setSendFailure([](const WSMessage& message, int index) {
        return message.isText() && index > 0 ? std::make_exception_ptr(VellamorTransportError::connectionClosed())
                                             : nullptr;
    });
    open();
    runBlocking(provider->stop());
    EXPECT_EQ(lines().last(), QStringLiteral("warn send stop failed: connectionClosed"));
}

TEST_F(CloudProviderTest, StopAndCancelWithoutASessionFailNothing)
{
    runBlocking(provider->stop());
    EXPECT_TRUE(transport->sent().isEmpty());
    runBlocking(provider->cancel());
    EXPECT_EQ(transport->calls(), QStringList{QStringLiteral("close")});
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(CloudProviderTest, CancelEndsTheEventsAtOnceClosesTheSocketAndSendsNoStopFrame)
{
    const ASREventStream events = open();
    audio.push(markedFrame(0));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 1; }));
    const qsizetype linesBefore = lines().size();

    runBlocking(provider->cancel());
    EXPECT_TRUE(events.isTerminated());
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"final","text":"late"})")));
    audio.push(markedFrame(1));
    runBlocking(provider->stop());
    runEventLoopFor(20ms);

    const EventOutcome outcome = drainEvents(events);
    EXPECT_TRUE(outcome.events.isEmpty());
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(transport->calls().last(), QStringLiteral("close"));
    EXPECT_EQ(transport->sentTexts().size(), 1) << "no stop frame";
    EXPECT_EQ(transport->sentBinary().size(), 1);
    // Only the pump notices its end; cancel() itself logs nothing.
    EXPECT_EQ(lines().mid(linesBefore), QStringList{QStringLiteral("info pump stream ended")});
}

TEST_F(CloudProviderTest, CancelWhileConnectingLeavesNoSocketOpen)
{
    transport->holdNextConnect();
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(transport->isConnectHeld());
    runBlocking(provider->cancel());
    transport->releaseConnect();

    EXPECT_THROW(runBlocking(std::move(streaming)), CancellationError);
    EXPECT_FALSE(transport->isOpen());
    EXPECT_TRUE(transport->sent().isEmpty());
    audio.push(markedFrame(0));
    runEventLoopFor(10ms);
    EXPECT_TRUE(transport->sent().isEmpty());
}

TEST_F(CloudProviderTest, CancelWhileTheStartFrameIsOnItsWayEndsTheSessionBeforeItBegins)
{
    transport->holdNextSend();
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    runBlocking(provider->cancel());
    transport->releaseSend();

    EXPECT_THROW(runBlocking(std::move(streaming)), CancellationError);
    EXPECT_FALSE(transport->isOpen());
    audio.push(markedFrame(0));
    runEventLoopFor(10ms);
    EXPECT_TRUE(transport->sentBinary().isEmpty());
    EXPECT_FALSE(lines().contains(QStringLiteral("info pump started")));
}

TEST_F(CloudProviderTest, AStopWhileTheStartFrameIsOnItsWayFollowsTheStartFrame)
{
    audio.push(markedFrame(0));
    transport->holdNextSend();
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    runBlocking(provider->stop());
    EXPECT_EQ(transport->sentTexts().size(), 1);

    transport->releaseSend();
    const ASREventStream events = runBlocking(std::move(streaming));
    runBlocking(provider->stop());
    runEventLoopFor(10ms);

    EXPECT_EQ(transport->sentTexts().size(), 2);
    EXPECT_EQ(transport->sentTexts().last(), stopFrame);
    EXPECT_TRUE(transport->sentBinary().isEmpty());
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"final","text":""})")));
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    EXPECT_EQ(drainEvents(events).events.size(), 2);
}

TEST_F(CloudProviderTest, ANewSessionStartsWithFreshState)
{
    const ASREventStream first = open();
    runBlocking(provider->stop());
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    drainEvents(first);

    AudioFrameStream secondAudio;
    const ASREventStream second = runBlocking(provider->stream(config(), secondAudio));
    secondAudio.push(markedFrame(7));
    ASSERT_TRUE(waitUntil([&] { return transport->sentBinary().size() == 1; }));
    runBlocking(provider->stop());
    EXPECT_EQ(transport->sentTexts().count(stopFrame), 2);
    EXPECT_EQ(transport->connectCount(), 2);
    EXPECT_FALSE(second.isTerminated());
}

TEST_F(CloudProviderTest, AnEarlierSessionsAudioNeverReachesTheNextSession)
{
    const ASREventStream first = open();
    transport->pushIncoming(WSMessage::text(QStringLiteral(R"({"type":"done"})")));
    drainEvents(first);

    AudioFrameStream secondAudio;
    transport->holdNextSend();
    auto streaming = provider->stream(config(), secondAudio);
    ASSERT_TRUE(waitUntil([&] { return transport->isSendHeld(); }));
    // The first capture is still delivering; its frames belong to no session now.
    audio.push(markedFrame(1));
    runEventLoopFor(10ms);
    transport->releaseSend();
    runBlocking(std::move(streaming));
    secondAudio.push(markedFrame(2));
    ASSERT_TRUE(waitUntil([&] { return !transport->sentBinary().isEmpty(); }));
    runEventLoopFor(10ms);

    EXPECT_EQ(transport->sentBinary(), QList<WSMessage>{WSMessage::binary(markedFrame(2).pcm)});
}

} // namespace
} // namespace vellamor::test
