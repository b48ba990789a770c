#include "ASRLiveFixture.h"
#include "Models/NetworkError.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using devbackend::AsrSessionEndpoint;

// A started server process that does not answer in this long has hung.
const int processCeiling = static_cast<int>(hangCeiling.count());

class CloudProviderLiveTest : public ASRLiveTest {
protected:
    void TearDown() override
    {
        runBlocking(provider->cancel());
        provider.reset();
        transport.reset();
        afterQueuedCalls();
    }

    ASRSessionConfig config() const
    {
        return ASRSessionConfig(wsURL(), QStringLiteral("zh"), QStringLiteral("chat"), QStringLiteral("default"), true,
                                std::nullopt, QStringLiteral("tok"));
    }

    ASREventStream open() { return runBlocking(provider->stream(config(), audio)); }

    std::shared_ptr<WebSocketSession> transport =
        std::make_shared<WebSocketSession>(log(QStringLiteral("ws")), WebSocketSession::Timing{});
    std::unique_ptr<CloudASRProvider> provider =
        std::make_unique<CloudASRProvider>(transport, log(QStringLiteral("asr-cloud")));
    AudioFrameStream audio;
};

TEST_F(CloudProviderLiveTest, ADroppedSocketFailsTheStreamAfterTheEarlierEvents)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.partialEvery = 5;
        o.dropAfterFrames = 12;
    });
    const ASREventStream events = open();
    for (int i = 0; i < 20; ++i)
        audio.push(markedFrame(i));

    const EventOutcome outcome = drainEvents(events);
    EXPECT_EQ(outcome.events, (QList<ASRStreamEvent>{
                                  ASRStreamEvent::ready(),
                                  ASRStreamEvent::partial(AsrSessionEndpoint::transcriptFor(5)),
                                  ASRStreamEvent::partial(AsrSessionEndpoint::transcriptFor(10)),
                              }));
    EXPECT_TRUE(holds<NetworkError>(outcome.error)) << outcome.errorText().toStdString();
}

TEST_F(CloudProviderLiveTest, CancelWhileConnectingLeavesNoSocketOpen)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.handshakeDelay = 200ms;
    });
    auto streaming = provider->stream(config(), audio);
    ASSERT_TRUE(waitUntil([&] { return endpoint->pendingHandshakes() == 1; }));
    runBlocking(provider->cancel());

    EXPECT_THROW(runBlocking(std::move(streaming)), CancellationError);
    EXPECT_FALSE(transport->hasSocket());
    // The server answers the held handshake after its delay; a socket left
    // open would be taken up by the calls that answer queues.
    ASSERT_TRUE(waitUntil([&] { return endpoint->pendingHandshakes() == 0; }));
    afterQueuedCalls();
    EXPECT_EQ(endpoint->openSessionCount(), 0);
}

// The executable's switches reach the endpoint; a bad value stops it.
TEST_F(CloudProviderLiveTest, DevServerSwitchesInjectAnErrorAndRejectBadValues)
{
    QProcess process;
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--asr-error-code"),
                   QStringLiteral("50021"), QStringLiteral("--asr-handshake-delay-ms"), QStringLiteral("20")});
    ASSERT_TRUE(process.waitForStarted(processCeiling));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(processCeiling))
        line += process.readAllStandardOutput();
    const auto match = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:([0-9]+)"))
                           .match(QString::fromLatin1(line));
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();

    ASRSessionConfig atTheExecutable = config();
    atTheExecutable.endpoint.setPort(match.captured(1).toInt());
    const EventOutcome outcome = drainEvents(runBlocking(provider->stream(atTheExecutable, audio)));
    ASSERT_EQ(outcome.events.size(), 2);
    EXPECT_EQ(outcome.events.last().code(), 50021);
    runBlocking(provider->cancel());
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(processCeiling));

    QProcess bad;
    bad.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), {QStringLiteral("--asr-drop-after-frames"), QStringLiteral("zero")});
    ASSERT_TRUE(bad.waitForFinished(processCeiling));
    EXPECT_EQ(bad.exitCode(), 2);
}

} // namespace
} // namespace vellamor::test
