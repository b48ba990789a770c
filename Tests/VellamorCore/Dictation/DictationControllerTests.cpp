#include "ControllerTestFixture.h"
#include "Models/VellamorTransportError.h"

#include <QSet>

using namespace std::chrono_literals;
using namespace vellamor;
using namespace vellamor::test;

namespace {

using States = QList<DictationState>;
using Data = QMap<QString, QString>;

const DictationState kIdle = DictationState::idle();
const DictationState kRecording = DictationState::recording();
const DictationState kTranscribing = DictationState::transcribing();
const DictationState kPolishing = DictationState::polishing();
const DictationState kInserting = DictationState::inserting();
const DictationState kDone = DictationState::done();
const DictationState kCancelled = DictationState::cancelled();

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

class DictationControllerTest : public ControllerTestFixture {};

} // namespace

// --- the normal road -------------------------------------------------------

TEST_F(DictationControllerTest, FullRoadWithPolishing)
{
    asr->setOpeningEvents({ASRStreamEvent::ready()});
    asr->setStopResponse({ASRStreamEvent::final(q("今天天气不错")), ASRStreamEvent::polish(q("今天天气不错。")),
                          ASRStreamEvent::done()});
    controller->setSourceApp(q("org.mozilla.Thunderbird"));

    start();
    ASSERT_TRUE(waitUntil([&] { return asr->streamCount() == 1; }));
    EXPECT_EQ(asr->lastConfig(), config());
    // The recogniser reads the capture's frames itself, from sequence 0.
    const auto first = runBlocking(asr->lastAudio()->next());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->sequence, 0);

    asr->push(ASRStreamEvent::partial(q("今天")));
    ASSERT_TRUE(waitUntil([&] { return snapshot().partialText == q("今天"); }));
    stop();
    ASSERT_TRUE(waitForTerminal());

    EXPECT_EQ(recorder.states(),
              (States{kIdle, kRecording, kRecording, kTranscribing, kPolishing, kInserting, kInserting, kDone}));
    EXPECT_EQ(output->texts(), QStringList{q("今天天气不错。")});

    const SessionSnapshot last = snapshot();
    ASSERT_TRUE(last.sessionID.has_value());
    for (std::size_t i = 1; i < recorder.count(); ++i)
        EXPECT_EQ(recorder.snapshots()[i].sessionID, last.sessionID);
    EXPECT_EQ(last.partialText, q("今天"));
    EXPECT_EQ(last.finalText, q("今天天气不错"));
    EXPECT_EQ(last.polishedText, q("今天天气不错。"));

    ASSERT_EQ(history->records().size(), 1u);
    const HistoryRecord& record = history->records().front();
    EXPECT_EQ(record.text, q("今天天气不错。"));
    EXPECT_EQ(record.recognizedText, q("今天天气不错"));
    EXPECT_EQ(record.polishedText, q("今天天气不错。"));
    EXPECT_EQ(record.sourceApp, q("org.mozilla.Thunderbird"));
    EXPECT_NE(record.id, *last.sessionID);

    // The capture runs until the session finishes, then deliver, then history.
    EXPECT_FALSE(capture->isRunning());
    EXPECT_LT(calls->indexOf(q("asr.stop")), calls->indexOf(q("audio.stop")));
    EXPECT_LT(calls->indexOf(q("audio.stop")), calls->indexOf(q("output.deliver")));
    EXPECT_LT(calls->indexOf(q("output.deliver")), calls->indexOf(q("history.append")));
}

// The recogniser's answer to a stop, and what the session makes of it.
struct EndingCase {
    const char* name;
    QList<ASRStreamEvent> answer;
    States tail; // the states from `transcribing` on
    QStringList delivered;
    std::optional<QString> recorded; // both the record's text and its recognised text
};

void PrintTo(const EndingCase& c, std::ostream* os)
{
    *os << c.name;
}

class SessionEnding : public ControllerTestFixture, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SessionEnding, DeliversAndRecordsWhatWasRecognised)
{
    const EndingCase& c = GetParam();
    asr->setStopResponse(c.answer);
    start();
    ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
    stop();
    ASSERT_TRUE(waitForTerminal());

    EXPECT_EQ(recorder.states(2), c.tail);
    EXPECT_EQ(output->texts(), c.delivered);
    if (!c.recorded) {
        EXPECT_TRUE(history->records().empty());
        return;
    }
    ASSERT_EQ(history->records().size(), 1u);
    EXPECT_EQ(history->records().front().text, *c.recorded);
    EXPECT_EQ(history->records().front().recognizedText, *c.recorded);
    EXPECT_EQ(history->records().front().polishedText, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SessionEnding,
    ::testing::Values(
        EndingCase{"PolishingOff", {ASRStreamEvent::final(q("A")), ASRStreamEvent::done()},
                   {kTranscribing, kPolishing, kInserting, kDone}, {q("A")}, q("A")},
        EndingCase{"EmptyPolish", {ASRStreamEvent::final(q("A")), ASRStreamEvent::polish(QString()), ASRStreamEvent::done()},
                   {kTranscribing, kPolishing, kInserting, kInserting, kDone}, {q("A")}, q("A")},
        EndingCase{"SingleBlank", {ASRStreamEvent::final(q(" ")), ASRStreamEvent::done()},
                   {kTranscribing, kPolishing, kInserting, kDone}, {q(" ")}, q(" ")},
        EndingCase{"StreamEndsWithoutDone", {ASRStreamEvent::final(q("A"))},
                   {kTranscribing, kPolishing, kInserting, kDone}, {q("A")}, q("A")},
        EndingCase{"NothingRecognised", {ASRStreamEvent::done()}, {kTranscribing, kDone}, {}, std::nullopt},
        EndingCase{"PolishWithoutFinal", {ASRStreamEvent::polish(q("B")), ASRStreamEvent::done()},
                   {kTranscribing, kInserting, kInserting, kDone}, {q("B")}, std::nullopt}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.name); });

TEST_F(DictationControllerTest, RecordsGoToTheStoreSetLastOrNowhere)
{
    asr->setStopResponse({ASRStreamEvent::final(q("A")), ASRStreamEvent::done()});
    auto replacement = std::make_shared<InMemoryHistoryStore>();
    start();
    controller->setHistoryStore(replacement);
    stop();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_TRUE(history->records().empty());
    EXPECT_EQ(replacement->records().size(), 1u);

    // Without a store the session still delivers and ends normally.
    controller->setHistoryStore(nullptr);
    start();
    stop();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(state(), kDone);
    EXPECT_EQ(output->texts(), (QStringList{q("A"), q("A")}));
    EXPECT_EQ(replacement->records().size(), 1u);
}

TEST_F(DictationControllerTest, EventsApplyWhateverTheState)
{
    start();
    ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
    const std::size_t before = recorder.count();
    asr->push(ASRStreamEvent::ready());
    asr->push(ASRStreamEvent::final(q("A")));
    asr->push(ASRStreamEvent::partial(q("late")));
    ASSERT_TRUE(waitUntil([&] { return snapshot().partialText == q("late"); }));
    // `ready` publishes nothing; a final while recording moves on to polishing.
    EXPECT_EQ(recorder.states(before), (States{kPolishing, kPolishing}));
    EXPECT_EQ(snapshot().finalText, q("A"));
}

// --- failures ---------------------------------------------------------------

// The text of every kind of error is in the message table; this is the road
// of an error event, whose payload chooses the text.
TEST_F(DictationControllerTest, ErrorEventFailsTheSessionWithTheUserText)
{
    const QString message = q("积分余额不足，请升级或购买积分包");
    start();
    ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
    asr->push(ASRStreamEvent::error(42902, q("no points"), Data{{q("kind"), q("points_balance")}}));
    ASSERT_TRUE(waitForTerminal());

    EXPECT_EQ(recorder.states(1), (States{kRecording, DictationState::failed(message)}));
    EXPECT_EQ(snapshot().errorMessage, message);
    EXPECT_TRUE(output->texts().isEmpty());
    EXPECT_TRUE(history->records().empty());
    EXPECT_FALSE(capture->isRunning());
    // The recogniser is cancelled before the capture is stopped.
    EXPECT_EQ(calls->calls().mid(calls->indexOf(q("asr.stream")) + 1), (QStringList{q("asr.cancel"), q("audio.stop")}));
}

TEST_F(DictationControllerTest, ACaptureOrRecogniserThatCannotStartFailsTheSession)
{
    const QString message = q("请先允许 Vellamor 使用麦克风");
    capture->setStartError(AudioCaptureError::permissionDenied());
    start();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(recorder.states(1), (States{kRecording, DictationState::failed(message)}));
    EXPECT_EQ(snapshot().errorMessage, message);
    EXPECT_EQ(calls->calls(), (QStringList{q("audio.start"), q("asr.cancel"), q("audio.stop")}));
    EXPECT_EQ(asr->streamCount(), 0);

    capture->setStartError(std::nullopt);
    asr->setStreamError(std::make_exception_ptr(VellamorTransportError::connectionClosed()));
    start();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(state(), DictationState::failed(q("网络连接已断开，请检查网络后重试")));
    EXPECT_FALSE(capture->isRunning());
    EXPECT_TRUE(history->records().empty());
    EXPECT_TRUE(output->texts().isEmpty());
}

TEST_F(DictationControllerTest, FailureAfterTheFinalTextKeepsItInHistoryWithoutDelivering)
{
    // An error event after the final text, and a connection lost after it.
    for (const bool connectionLost : {false, true}) {
        SCOPED_TRACE(connectionLost ? "connection lost" : "error event");
        const std::size_t records = history->records().size();
        start();
        ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
        asr->push(ASRStreamEvent::final(q("A")));
        asr->push(ASRStreamEvent::polish(q("B")));
        if (connectionLost)
            asr->failStream(std::make_exception_ptr(VellamorTransportError::timeout()));
        else
            asr->push(ASRStreamEvent::error(50022, q("llm")));
        ASSERT_TRUE(waitForTerminal());

        EXPECT_EQ(state(), DictationState::failed(connectionLost ? q("网络超时，请检查网络后重试") : q("润色服务暂时繁忙，请稍后重试")));
        EXPECT_TRUE(output->texts().isEmpty());
        ASSERT_EQ(history->records().size(), records + 1);
        const HistoryRecord& record = history->records().back();
        EXPECT_EQ(record.text, q("A"));
        EXPECT_EQ(record.recognizedText, q("A"));
        EXPECT_EQ(record.polishedText, q("B"));
    }
}

// --- guards of start and stop, cancel ----------------------------------------

// Stop outside recording and start while active are ignored; cancel always
// ends in `cancelled`, in idle without a session.
TEST_F(DictationControllerTest, CommandsOutsideTheirStates)
{
    stop();
    EXPECT_EQ(recorder.states(), States{kIdle});
    cancel();
    EXPECT_EQ(recorder.states(), (States{kIdle, kCancelled}));
    EXPECT_EQ(snapshot().sessionID, std::nullopt);
    EXPECT_EQ(calls->calls(), (QStringList{q("asr.cancel"), q("audio.stop")}));

    const std::vector<std::pair<const char*, std::function<void()>>> reach = {
        {"recording", [] {}},
        {"transcribing", [this] { stop(); }},
        {"polishing", [this] { asr->push(ASRStreamEvent::final(q("A"))); }},
        {"inserting",
         [this] {
             asr->push(ASRStreamEvent::final(q("A")));
             asr->push(ASRStreamEvent::polish(q("B")));
         }},
    };
    for (const auto& [name, steps] : reach) {
        SCOPED_TRACE(name);
        cancel();
        start(q("chat"));
        ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
        steps();
        ASSERT_TRUE(waitUntil([&] { return state().debugDescription() == q(name); }));
        const SessionSnapshot before = snapshot();
        const std::size_t published = recorder.count();
        const int streams = asr->streamCount();
        const int starts = capture->startCount();
        const int stops = asr->stopCount();

        start(q("email"));
        if (q(name) != q("recording"))
            stop();
        afterQueuedCalls();
        EXPECT_EQ(recorder.count(), published);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(controller->sessionConfig()->scene, q("chat"));
        EXPECT_EQ(asr->streamCount(), streams);
        EXPECT_EQ(capture->startCount(), starts);
        EXPECT_EQ(asr->stopCount(), stops);
    }
}

TEST_F(DictationControllerTest, StartAfterEachTerminalStateBeginsAFreshSession)
{
    asr->setStopResponse({ASRStreamEvent::final(q("A")), ASRStreamEvent::done()});
    QSet<QUuid> ids;
    for (const char* ending : {"done", "failed", "cancelled"}) {
        SCOPED_TRACE(ending);
        start();
        ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
        asr->push(ASRStreamEvent::partial(q("p")));
        ASSERT_TRUE(waitUntil([&] { return snapshot().partialText == q("p"); }));
        if (q(ending) == q("done"))
            stop();
        else if (q(ending) == q("failed"))
            asr->push(ASRStreamEvent::error(50021, q("x")));
        else
            cancel();
        ASSERT_TRUE(waitForTerminal());
        ids.insert(*snapshot().sessionID);
        const std::size_t published = recorder.count();
        stop();
        EXPECT_EQ(recorder.count(), published);

        start();
        const SessionSnapshot fresh = snapshot();
        EXPECT_EQ(fresh.state, kRecording);
        EXPECT_FALSE(ids.contains(*fresh.sessionID));
        EXPECT_EQ(fresh.partialText, QString());
        EXPECT_EQ(fresh.finalText, QString());
        EXPECT_EQ(fresh.elapsedMillis, 0);
        EXPECT_EQ(fresh.errorMessage, std::nullopt);
        cancel();
    }
}

TEST_F(DictationControllerTest, CancelDuringDeliveryWritesNoHistoryAndNoDone)
{
    output->holdDelivery();
    asr->setStopResponse({ASRStreamEvent::final(q("A")), ASRStreamEvent::done()});
    start();
    stop();
    ASSERT_TRUE(waitUntil([&] { return output->texts().size() == 1; }));
    cancel();
    output->releaseDelivery();
    ASSERT_TRUE(waitUntil([&] { return output->completedCount() == 1; }));
    afterQueuedCalls();

    EXPECT_EQ(recorder.last().state, kCancelled);
    EXPECT_FALSE(recorder.states().contains(kDone));
    EXPECT_TRUE(history->records().empty());
}

TEST_F(DictationControllerTest, ObserversAreCalledAtOnceAndInRegistrationOrder)
{
    asr->setStopResponse({ASRStreamEvent::done()});
    start();
    stop();
    ASSERT_TRUE(waitForTerminal());

    // Shared: the observers stay registered after this test body returns.
    auto seen = std::make_shared<QStringList>();
    controller->addObserver([seen](const SessionSnapshot& s) { *seen << q("first:") + s.state.debugDescription(); });
    EXPECT_EQ(*seen, QStringList{q("first:done")});
    controller->addObserver([seen](const SessionSnapshot& s) { *seen << q("second:") + s.state.debugDescription(); });
    EXPECT_EQ(*seen, (QStringList{q("first:done"), q("second:done")}));

    cancel();
    EXPECT_EQ(seen->mid(2), (QStringList{q("first:cancelled"), q("second:cancelled")}));
}

// --- races -------------------------------------------------------------------

// A stop that reaches the recogniser before its session is open is dropped
// there; the controller repeats it once the session is open.
TEST_F(DictationControllerTest, StopBeforeTheRecogniserStreamReturnsStillEndsTheSession)
{
    asr->setStreamDelay(40ms);
    asr->setStopResponse({ASRStreamEvent::final(q("A")), ASRStreamEvent::done()});
    start();
    ASSERT_EQ(asr->streamCount(), 1);
    ASSERT_FALSE(asr->hasOpenStream());
    stop();
    EXPECT_EQ(state(), kTranscribing);
    EXPECT_EQ(asr->droppedStopCount(), 1);
    ASSERT_TRUE(waitForTerminal());

    EXPECT_EQ(state(), kDone);
    EXPECT_EQ(output->texts(), QStringList{q("A")});
    EXPECT_EQ(asr->stopCount(), 2);
    EXPECT_FALSE(capture->isRunning());
    // Measured from start() to the end, the recogniser's opening included.
    EXPECT_GE(snapshot().elapsedMillis, 40);
}

// Cancel, then start at once: the old session's task wakes up afterwards and
// must neither publish, deliver, write history nor touch the new capture run.
TEST_F(DictationControllerTest, CancelThenStartLeavesNoTraceOfTheOldSession)
{
    asr->setStopResponse({ASRStreamEvent::final(q("new")), ASRStreamEvent::done()});
    start(q("chat"));
    ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));
    asr->push(ASRStreamEvent::final(q("old")));
    ASSERT_TRUE(waitForState(kPolishing));
    const QUuid oldId = *snapshot().sessionID;

    cancel();
    // The cancel publishes `cancelled` with the texts so far and stops the capture.
    EXPECT_EQ(recorder.states(2), (States{kPolishing, kCancelled}));
    EXPECT_EQ(snapshot().finalText, q("old"));
    EXPECT_FALSE(capture->isRunning());
    start(q("email"));
    const std::size_t newSessionAt = recorder.count() - 1;
    const QUuid newId = *snapshot().sessionID;
    calls->clear();
    // The old session's task wakes on a queued call.
    afterQueuedCalls();

    EXPECT_EQ(recorder.count(), newSessionAt + 1);
    EXPECT_EQ(state(), kRecording);
    EXPECT_TRUE(capture->isRunning());
    EXPECT_TRUE(output->texts().isEmpty());
    EXPECT_TRUE(history->records().empty());
    EXPECT_FALSE(calls->calls().contains(q("audio.stop")));

    stop();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(output->texts(), QStringList{q("new")});
    for (std::size_t i = newSessionAt; i < recorder.count(); ++i) {
        EXPECT_EQ(recorder.snapshots()[i].sessionID, newId);
        EXPECT_NE(recorder.snapshots()[i].sessionID, oldId);
    }
    ASSERT_EQ(history->records().size(), 1u);
    EXPECT_EQ(history->records().front().text, q("new"));
}

TEST_F(DictationControllerTest, CancelWhileTheCaptureStartsThenStartAgain)
{
    capture->setStartDelay(30ms);
    asr->setStopResponse({ASRStreamEvent::final(q("B")), ASRStreamEvent::done()});
    start(q("chat"));
    cancel();
    start(q("email"));
    const QUuid newId = *snapshot().sessionID;
    const std::size_t newSessionAt = recorder.count() - 1;
    ASSERT_TRUE(waitUntil([&] { return asr->hasOpenStream(); }));

    // The old run began after the cancel and was stopped, freeing the
    // capture for the new session; only the new session reached the recogniser.
    EXPECT_EQ(capture->startCount(), 2);
    EXPECT_EQ(asr->streamCount(), 1);
    EXPECT_EQ(asr->lastConfig()->scene, q("email"));
    stop();
    ASSERT_TRUE(waitForTerminal());
    EXPECT_EQ(state(), kDone);
    EXPECT_EQ(output->texts(), QStringList{q("B")});
    for (std::size_t i = newSessionAt; i < recorder.count(); ++i)
        EXPECT_EQ(recorder.snapshots()[i].sessionID, newId);
}

TEST_F(DictationControllerTest, CancelWhileTheRecogniserOpensReleasesItsSession)
{
    asr->setStreamDelay(30ms);
    start();
    cancel();
    ASSERT_TRUE(waitUntil([&] { return asr->cancelCount() == 2; }));
    EXPECT_FALSE(asr->hasOpenStream());
    afterQueuedCalls();
    EXPECT_EQ(recorder.states(), (States{kIdle, kRecording, kCancelled}));
    EXPECT_FALSE(capture->isRunning());
}

// A start that runs while cancel() waits for the recogniser begins a session
// the cancel was not meant for; it must keep running.
// A cancel suspends twice (the recogniser, then the capture); a start that
// runs in either pause begins a session the cancel was not meant for.
struct SlowCancel {
    const char* name;
    std::chrono::milliseconds recogniserCancel;
    std::chrono::milliseconds captureStop;
    int stopsOfTheOldCapture;
};

class StartDuringASlowCancel : public ControllerTestFixture, public ::testing::WithParamInterface<SlowCancel> {};

TEST_P(StartDuringASlowCancel, IsNotCancelled)
{
    asr->setCancelDelay(GetParam().recogniserCancel);
    capture->setStopDelay(GetParam().captureStop);
    auto cancelling = controller->cancel();
    start();
    const QUuid id = *snapshot().sessionID;
    runBlocking(std::move(cancelling));
    afterQueuedCalls();
    EXPECT_EQ(state(), kRecording);
    EXPECT_EQ(snapshot().sessionID, id);
    EXPECT_EQ(recorder.states(), (States{kIdle, kRecording}));
    EXPECT_TRUE(capture->isRunning());
    EXPECT_EQ(capture->stopCount(), GetParam().stopsOfTheOldCapture);
}

INSTANTIATE_TEST_SUITE_P(Pauses, StartDuringASlowCancel,
                         ::testing::Values(SlowCancel{"SlowRecogniserCancel", 30ms, 0ms, 0},
                                           SlowCancel{"SlowCaptureStop", 0ms, 30ms, 1}),
                         [](const auto& info) { return std::string(info.param.name); });
