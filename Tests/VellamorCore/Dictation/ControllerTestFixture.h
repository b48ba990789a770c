#pragma once

#include "CallLog.h"
#include "Dictation/DictationController.h"
#include "EngineTestPrinters.h"
#include "InMemoryHistoryStore.h"
#include "RecordingDictationOutput.h"
#include "ScriptedASRProvider.h"
#include "SnapshotRecorder.h"
#include "Support/Async/RunBlocking.h"
#include "TimedAudioCapture.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace vellamor::test {

// A controller wired to recording doubles that share one call log, with
// every snapshot it publishes kept in `recorder`. The capture plays silent
// frames every 5 ms until stopped. A fixture that has a base of its own
// mixes this in and calls endSession() from its TearDown.
class ControllerHarness {
protected:
    ControllerHarness()
    {
        capture->setCallLog(calls);
        asr->setCallLog(calls);
        output->setCallLog(calls);
        history->setCallLog(calls);
    }

    // Ends whatever a test left running, so no task outlives its test.
    void endSession()
    {
        runBlocking(controller->cancel());
        controller.reset();
        afterQueuedCalls();
    }

    std::unique_ptr<DictationController> makeController(std::shared_ptr<ASRProvider> recogniser)
    {
        auto made = std::make_unique<DictationController>(
            capture, std::move(recogniser), output, 360000, history,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("dictation"), nullptr, nullptr));
        made->addObserver(recorder.observer());
        return made;
    }

    ASRSessionConfig config(const QString& scene = QStringLiteral("chat")) const
    {
        return ASRSessionConfig(recogniserURL, QStringLiteral("zh"), scene, QStringLiteral("default"), true,
                                std::nullopt, QStringLiteral("token"));
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

    QUrl recogniserURL = QUrl(QStringLiteral("wss://asr.example.com/v1/session"));
    std::shared_ptr<CallLog> calls = std::make_shared<CallLog>();
    std::shared_ptr<TimedAudioCapture> capture =
        std::make_shared<TimedAudioCapture>(TimedAudioCapture::silentFrames(400), std::chrono::milliseconds(5));
    std::shared_ptr<ScriptedASRProvider> asr = std::make_shared<ScriptedASRProvider>();
    std::shared_ptr<RecordingDictationOutput> output = std::make_shared<RecordingDictationOutput>();
    std::shared_ptr<InMemoryHistoryStore> history = std::make_shared<InMemoryHistoryStore>();
    SnapshotRecorder recorder;
    std::unique_ptr<DictationController> controller = makeController(asr);
};

class ControllerTestFixture : public ::testing::Test, public ControllerHarness {
protected:
    void TearDown() override { endSession(); }
};

} // namespace vellamor::test
