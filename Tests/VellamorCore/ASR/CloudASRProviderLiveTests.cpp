#include "ASRLiveFixture.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/NetworkError.h"
#include "Networking/WebSocketSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using devbackend::AsrSessionEndpoint;

class CloudProviderLiveTest : public ASRLiveTest {
protected:
    void TearDown() override
    {
        runBlocking(provider->cancel());
        provider.reset();
        transport.reset();
        runEventLoopFor(5ms);
    }

    ASRSessionConfig config(bool polish = true, std::optional<QString> token = QStringLiteral("tok")) const
    {
        return ASRSessionConfig(wsURL(), QStringLiteral("zh"), QStringLiteral("chat"), QStringLiteral("default"),
                                polish, std::nullopt, std::move(token));
    }

    ASREventStream open(bool polish = true) { return runBlocking(provider->stream(config(polish), audio)); }

    void pushFrames(int from, int to)
    {
        for (int i = from; i < to; ++i)
            audio.push(markedFrame(i));
    }

    QStringList cloudLines() const { return lines(QStringLiteral("asr-cloud")); }

    std::shared_ptr<WebSocketSession> transport =
        std::make_shared<WebSocketSession>(log(QStringLiteral("ws")), WebSocketSession::Timing{});
    std::unique_ptr<CloudASRProvider> provider =
        std::make_unique<CloudASRProvider>(transport, log(QStringLiteral("asr-cloud")));
    AudioFrameStream audio;
};

TEST_F(CloudProviderLiveTest, RunsAWholeSessionWithFramesInCaptureOrderAndOneStopFrame)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.partialEvery = 10;
        o.handshakeDelay = 100ms;
    });
    // Captured while the connection is still being opened.
    pushFrames(0, 5);
    const ASREventStream events = open();
    pushFrames(5, 10);
    const auto record = session();
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(waitUntil([&] { return record->audioFrames == 10; }));
    runBlocking(provider->stop());
    runBlocking(provider->stop());

    const EventOutcome outcome = drainEvents(events);
    EXPECT_FALSE(outcome.error) << outcome.errorText().toStdString();
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::partial(AsrSessionEndpoint::transcriptFor(10)),
                                  ASRStreamEvent::final(AsrSessionEndpoint::transcriptFor(10)),
                                  ASRStreamEvent::polish(AsrSessionEndpoint::polishedFor(10)),
                                  ASRStreamEvent::done(),
                              }));

    ASSERT_EQ(record->received.size(), 12);
    EXPECT_FALSE(record->received.first().binary);
    EXPECT_EQ(QJsonDocument::fromJson(record->received.first().text.toUtf8()).object(),
              (QJsonObject{{QStringLiteral("type"), QStringLiteral("start")},
                           {QStringLiteral("lang"), QStringLiteral("zh")},
                           {QStringLiteral("scene"), QStringLiteral("chat")},
                           {QStringLiteral("style"), QStringLiteral("default")},
                           {QStringLiteral("polish"), true}}));
    for (int i = 0; i < 10; ++i) {
        const auto& frame = record->received.at(i + 1);
        EXPECT_TRUE(frame.binary);
        EXPECT_EQ(frame.data, markedFrame(i).pcm) << "frame " << i;
    }
    EXPECT_EQ(record->received.last().text, QStringLiteral(R"({"type":"stop"})"));
    EXPECT_EQ(record->stopFrames, 1);
    EXPECT_EQ(record->audioAfterStop, 0);
    EXPECT_EQ(record->authorization, QByteArrayLiteral("Bearer tok"));
    // The recogniser leaves the socket open after "done".
    runEventLoopFor(20ms);
    EXPECT_TRUE(record->open);
}

TEST_F(CloudProviderLiveTest, AServiceErrorIsTheLastEventAndTheStreamEndsNormally)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.errorCode = 42902;
        o.errorAfterFrames = 3;
        o.errorKind = QStringLiteral("points_balance");
    });
    const ASREventStream events = open();
    pushFrames(0, 6);

    const EventOutcome outcome = drainEvents(events);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::error(42902, QStringLiteral("injected failure"),
                                                        QMap<QString, QString>{{QStringLiteral("kind"),
                                                                                QStringLiteral("points_balance")}}),
                              }));
    EXPECT_TRUE(cloudLines().contains(QStringLiteral("warn pump got error code=42902 | injected failure")));
}

TEST_F(CloudProviderLiveTest, ADroppedSocketFailsTheStreamAfterTheEarlierEvents)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.partialEvery = 5;
        o.dropAfterFrames = 12;
    });
    const ASREventStream events = open();
    pushFrames(0, 20);

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::partial(AsrSessionEndpoint::transcriptFor(5)),
                                  ASRStreamEvent::partial(AsrSessionEndpoint::transcriptFor(10)),
                              }));
    EXPECT_TRUE(holds<NetworkError>(outcome.error)) << outcome.errorText().toStdString();
    EXPECT_EQ(cloudLines().filter(QStringLiteral("warn pump failed: ")).size(), 1);
}

TEST_F(CloudProviderLiveTest, CancelClosesWithGoingAwayAndSendsNoStopFrame)
{
    const ASREventStream events = open();
    pushFrames(0, 4);
    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return record->audioFrames == 4; }));

    runBlocking(provider->cancel());
    const EventOutcome outcome = drainEvents(events);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.events, QList<ASRStreamEvent>{ASRStreamEvent::ready()});
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
    EXPECT_EQ(record->stopFrames, 0);
}

TEST_F(CloudProviderLiveTest, CancelWhileConnectingLeavesNoSocketOpen)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.handshakeDelay = 200ms;
    });
    auto streaming = provider->stream(config(), audio);
    runEventLoopFor(30ms);
    runBlocking(provider->cancel());

    EXPECT_THROW(runBlocking(std::move(streaming)), CancellationError);
    EXPECT_FALSE(transport->hasSocket());
    runEventLoopFor(300ms);
    EXPECT_EQ(endpoint->pendingHandshakes(), 0);
    EXPECT_EQ(endpoint->openSessionCount(), 0);
}

TEST_F(CloudProviderLiveTest, AnUnknownFrameIsLoggedAndSkipped)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.partialEvery = 0;
        o.unknownFrame = true;
    });
    const ASREventStream events = open(false);
    pushFrames(0, 2);
    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return record->audioFrames == 2; }));
    runBlocking(provider->stop());

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::final(AsrSessionEndpoint::transcriptFor(2)),
                                  ASRStreamEvent::done(),
                              }));
    EXPECT_EQ(cloudLines().filter(QStringLiteral("unknown ws text frame")),
              QStringList{QStringLiteral(R"(warn unknown ws text frame | {"type":"mystery"})")});
}

TEST_F(CloudProviderLiveTest, TwoSessionsInARowUseTwoSocketsAndTheFirstIsClosedWithGoingAway)
{
    ASREventStream events = open();
    pushFrames(0, 3);
    ASSERT_TRUE(waitUntil([&] { return session() && session()->audioFrames == 3; }));
    runBlocking(provider->stop());
    EXPECT_EQ(drainEvents(events).events.size(), 4);

    audio = AudioFrameStream();
    events = open(false);
    pushFrames(0, 2);
    ASSERT_TRUE(waitUntil([&] { return session(1) && session(1)->audioFrames == 2; }));
    runBlocking(provider->stop());
    const EventOutcome second = drainEvents(events);
    EXPECT_FALSE(second.error);
    EXPECT_EQ(second.events.last(), ASRStreamEvent::done());
    EXPECT_EQ(session(0)->closeCode, 1001);
    EXPECT_FALSE(session(0)->open);
    EXPECT_EQ(session(1)->stopFrames, 1);
}

// The executable's switches reach the endpoint.
TEST(DevServerAsrSwitches, InjectAnErrorAndRejectBadValues)
{
    QProcess process;
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--asr-error-code"),
                   QStringLiteral("50021"), QStringLiteral("--asr-handshake-delay-ms"), QStringLiteral("20")});
    ASSERT_TRUE(process.waitForStarted(5000));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(5000))
        line += process.readAllStandardOutput();
    const auto match = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:([0-9]+)"))
                           .match(QString::fromLatin1(line));
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();

    {
        const auto silent = VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("asr-cloud"), nullptr, nullptr);
        auto transport = std::make_shared<WebSocketSession>(silent, WebSocketSession::Timing{});
        CloudASRProvider provider(transport, silent);
        AudioFrameStream audio;
        const ASREventStream events = runBlocking(provider.stream(
            ASRSessionConfig(QUrl(QStringLiteral("ws://127.0.0.1:") + match.captured(1) + QStringLiteral("/v1/session")),
                             QStringLiteral("en"), QStringLiteral("general"), QStringLiteral("original"), false,
                             std::nullopt, std::nullopt),
            audio));
        const EventOutcome outcome = drainEvents(events);
        ASSERT_EQ(outcome.events.size(), 2);
        EXPECT_EQ(outcome.events.last().code(), 50021);
        runBlocking(provider.cancel());
    }
    runEventLoopFor(10ms);
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(5000));

    QProcess bad;
    bad.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), {QStringLiteral("--asr-drop-after-frames"), QStringLiteral("zero")});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_EQ(bad.exitCode(), 2);
}

} // namespace
} // namespace vellamor::test
