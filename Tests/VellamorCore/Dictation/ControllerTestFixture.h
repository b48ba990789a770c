#pragma once

#include "CallLog.h"
#include "Dictation/DictationController.h"
#include "EngineTestPrinters.h"
#include "InMemoryHistoryStore.h"
#include "Logging/LogSink.h"
#include "RecordingDictationOutput.h"
#include "RecordingSystemLog.h"
#include "ScriptedASRProvider.h"
#include "SnapshotRecorder.h"
#include "Support/Async/RunBlocking.h"
#include "TimedAudioCapture.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace vellamor::test {

class DiscardingLogSink final : public LogSink {
public:
    void write(const QString&, const QString&, const QString&) override {}
};

// A controller wired to recording doubles that share one call log. The
// capture plays silent frames every 5 ms until stopped.
class ControllerTestFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        capture->setCallLog(calls);
        capture->setInterval(std::chrono::milliseconds(5));
        asr->setCallLog(calls);
        output->setCallLog(calls);
        history->setCallLog(calls);
        controller = makeController(asr);
    }

    // Ends whatever a test left running, so no task outlives its test.
    void TearDown() override
    {
        runBlocking(controller->cancel());
        controller.reset();
        runEventLoopFor(std::chrono::milliseconds(5));
    }

    std::unique_ptr<DictationController> makeController(std::shared_ptr<ASRProvider> recogniser)
    {
        auto made = std::make_unique<DictationController>(
            capture, std::move(recogniser), output, 360000, history,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("dictation"), systemLog,
                        std::make_shared<DiscardingLogSink>()));
        made->addObserver(recorder.observer());
        return made;
    }

    static ASRSessionConfig config(const QString& scene = QStringLiteral("chat"))
    {
        return ASRSessionConfig(QUrl(QStringLiteral("wss://asr.example.com/v1/session")), QStringLiteral("zh"),
                                scene, QStringLiteral("default"), true, std::nullopt, QStringLiteral("token"));
    }

    void start(const QString& scene = QStringLiteral("chat")) { runBlocking(controller->start(config(scene))); }
    void stop() { runBlocking(controller->stop()); }
    void cancel() { runBlocking(controller->cancel()); }

    SessionSnapshot snapshot() const { return controller->currentSnapshot(); }
    DictationState state() const { return controller->currentSnapshot().state; }

    bool waitForTerminal()
    {
        return waitUntil([this] { return state().isTerminal(); });
    }
    bool waitForState(const DictationState& wanted)
    {
        return waitUntil([this, wanted] { return state() == wanted; });
    }

    // The public parts logged at `level`, in order.
    QStringList logged(SystemLogLevel level) const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries()) {
            if (entry.level == level)
                lines << entry.publicPart;
        }
        return lines;
    }

    std::shared_ptr<CallLog> calls = std::make_shared<CallLog>();
    std::shared_ptr<TimedAudioCapture> capture = std::make_shared<TimedAudioCapture>(TimedAudioCapture::silentFrames(400));
    std::shared_ptr<ScriptedASRProvider> asr = std::make_shared<ScriptedASRProvider>();
    std::shared_ptr<RecordingDictationOutput> output = std::make_shared<RecordingDictationOutput>();
    std::shared_ptr<InMemoryHistoryStore> history = std::make_shared<InMemoryHistoryStore>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    SnapshotRecorder recorder;
    std::unique_ptr<DictationController> controller;
};

} // namespace vellamor::test
