#include "../Dictation/ControllerTestFixture.h"
#include "ASRLiveFixture.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using devbackend::AsrSessionEndpoint;

// The real controller, recogniser and transport against the devserver, with
// a capture that plays a tone every 5 ms.
class CloudDictationTest : public ASRLiveTest, public ControllerHarness {
protected:
    CloudDictationTest()
    {
        capture = std::make_shared<TimedAudioCapture>(TimedAudioCapture::toneFrames(400, 0.3f), 5ms);
        controller = makeController(std::make_shared<CloudASRProvider>(
            std::make_shared<WebSocketSession>(log(QStringLiteral("ws")), WebSocketSession::Timing{}),
            log(QStringLiteral("asr-cloud"))));
    }

    void SetUp() override
    {
        ASRLiveTest::SetUp();
        recogniserURL = wsURL();
    }

    void TearDown() override { endSession(); }
};

TEST_F(CloudDictationTest, DeliversThePolishedTextOfTheFramesTheServiceHeard)
{
    start();
    const auto record = session();
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(waitUntil([&] { return record->audioFrames >= 12; }));
    stop();
    ASSERT_TRUE(waitForTerminal());
    const int heard = record->audioFrames;

    EXPECT_EQ(state(), DictationState::done());
    EXPECT_EQ(output->texts(), QStringList{AsrSessionEndpoint::polishedFor(heard)});
    ASSERT_EQ(history->records().size(), 1u);
    EXPECT_EQ(history->records().front().recognizedText, AsrSessionEndpoint::transcriptFor(heard));

    EXPECT_EQ(record->authorization, QByteArrayLiteral("Bearer token"));
    EXPECT_EQ(record->stopFrames, 1);
    EXPECT_EQ(record->audioBeforeStart, 0);
    EXPECT_EQ(record->audioAfterStop, 0);
    // Every frame that reached the service is the capture's, in capture order.
    const QList<AudioFrame> played = TimedAudioCapture::toneFrames(heard, 0.3f);
    QList<QByteArray> sent;
    for (const auto& frame : record->received) {
        if (frame.binary)
            sent.append(frame.data);
    }
    ASSERT_EQ(sent.size(), heard);
    for (int i = 0; i < heard; ++i)
        ASSERT_EQ(sent.at(i), played.at(i).pcm) << "frame " << i;
    // The recogniser leaves the socket open after "done".
    EXPECT_TRUE(record->open);
}

TEST_F(CloudDictationTest, AServiceErrorFailsTheSessionWithItsMessageAndClosesTheSocket)
{
    configure([](AsrSessionEndpoint::Options& o) {
        o.errorCode = 42902;
        o.errorAfterFrames = 5;
        o.errorKind = QStringLiteral("points_balance");
    });
    start();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(state(), DictationState::failed(QStringLiteral("积分余额不足，请升级或购买积分包")));
    EXPECT_TRUE(output->texts().isEmpty());
    EXPECT_TRUE(history->records().empty());
    // The failure cancels the recogniser, which closes the socket.
    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
}

} // namespace
} // namespace vellamor::test
