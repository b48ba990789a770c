#include "ASRLiveFixture.h"
#include "Dictation/DictationController.h"
#include "InMemoryHistoryStore.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"
#include "RecordingDictationOutput.h"
#include "SnapshotRecorder.h"
#include "TimedAudioCapture.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using devbackend::AsrSessionEndpoint;

// The real controller, recogniser and transport against the devserver, with
// a capture that plays a tone every 5 ms.
class CloudDictationTest : public ASRLiveTest {
protected:
    void TearDown() override
    {
        runBlocking(controller->cancel());
        controller.reset();
        provider.reset();
        transport.reset();
        runEventLoopFor(10ms);
    }

    ASRSessionConfig config(bool polish) const
    {
        return ASRSessionConfig(wsURL(), QStringLiteral("zh"), QStringLiteral("chat"), QStringLiteral("default"),
                                polish, std::nullopt, QStringLiteral("token-1"));
    }

    // Starts, lets the devserver hear `frames` frames, stops, and waits for the end.
    void dictate(bool polish, int frames)
    {
        runBlocking(controller->start(config(polish)));
        const auto record = session();
        ASSERT_NE(record, nullptr);
        ASSERT_TRUE(waitUntil([&] { return record->audioFrames >= frames; }));
        runBlocking(controller->stop());
        ASSERT_TRUE(waitUntil([&] { return controller->currentSnapshot().state.isTerminal(); }));
    }

    std::shared_ptr<TimedAudioCapture> capture =
        std::make_shared<TimedAudioCapture>(TimedAudioCapture::toneFrames(400, 0.3f), 5ms);
    std::shared_ptr<WebSocketSession> transport =
        std::make_shared<WebSocketSession>(log(QStringLiteral("ws")), WebSocketSession::Timing{});
    std::shared_ptr<CloudASRProvider> provider =
        std::make_shared<CloudASRProvider>(transport, log(QStringLiteral("asr-cloud")));
    std::shared_ptr<RecordingDictationOutput> output = std::make_shared<RecordingDictationOutput>();
    std::shared_ptr<InMemoryHistoryStore> history = std::make_shared<InMemoryHistoryStore>();
    SnapshotRecorder recorder;
    std::unique_ptr<DictationController> controller = [this] {
        auto made = std::make_unique<DictationController>(capture, provider, output, 360000, history,
                                                          log(QStringLiteral("dictation")));
        made->addObserver(recorder.observer());
        return made;
    }();
};

TEST_F(CloudDictationTest, DeliversThePolishedTextAndWritesTheHistoryRecord)
{
    dictate(true, 25);
    const auto record = session();
    const int heard = record->audioFrames;
    ASSERT_GE(heard, 25);

    EXPECT_EQ(controller->currentSnapshot().state, DictationState::done());
    EXPECT_EQ(output->texts(), QStringList{AsrSessionEndpoint::polishedFor(heard)});
    ASSERT_EQ(history->records().size(), 1u);
    const HistoryRecord& written = history->records().front();
    EXPECT_EQ(written.text, AsrSessionEndpoint::polishedFor(heard));
    EXPECT_EQ(written.recognizedText, AsrSessionEndpoint::transcriptFor(heard));
    EXPECT_EQ(written.polishedText, AsrSessionEndpoint::polishedFor(heard));

    EXPECT_EQ(record->authorization, QByteArrayLiteral("Bearer token-1"));
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

    const QList<DictationState> states = recorder.states();
    EXPECT_TRUE(states.contains(DictationState::transcribing()));
    EXPECT_TRUE(states.contains(DictationState::polishing()));
    EXPECT_EQ(states.last(), DictationState::done());
    EXPECT_FALSE(capture->isRunning());
}

TEST_F(CloudDictationTest, WithoutPolishingDeliversTheFinalText)
{
    dictate(false, 12);
    const int heard = session()->audioFrames;
    EXPECT_EQ(output->texts(), QStringList{AsrSessionEndpoint::transcriptFor(heard)});
    ASSERT_EQ(history->records().size(), 1u);
    EXPECT_EQ(history->records().front().polishedText, std::nullopt);
}

TEST_F(CloudDictationTest, AServiceErrorFailsTheSessionWithItsMessageAndDeliversNothing)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.errorCode = 50021;
        o.errorAfterFrames = 5;
    });
    runBlocking(controller->start(config(true)));
    ASSERT_TRUE(waitUntil([&] { return controller->currentSnapshot().state.isTerminal(); }));
    EXPECT_EQ(controller->currentSnapshot().state, DictationState::failed(QStringLiteral("识别服务暂时繁忙，请稍后重试")));
    EXPECT_TRUE(output->texts().isEmpty());
    EXPECT_TRUE(history->records().empty());
    // The failure cancels the recogniser, which closes the socket.
    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
}

TEST_F(CloudDictationTest, CancelDuringTheSessionEndsItCancelledWithNothingDelivered)
{
    runBlocking(controller->start(config(true)));
    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return record->audioFrames >= 5; }));
    runBlocking(controller->cancel());
    runEventLoopFor(50ms);
    EXPECT_EQ(controller->currentSnapshot().state, DictationState::cancelled());
    EXPECT_TRUE(output->texts().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
    EXPECT_EQ(record->stopFrames, 0);
}

} // namespace
} // namespace vellamor::test
