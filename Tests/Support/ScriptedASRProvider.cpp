#include "ScriptedASRProvider.h"

#include "Support/Async/Sleep.h"

namespace vellamor::test {

void ScriptedASRProvider::record(const QString& call)
{
    if (callLog_)
        callLog_->record(call);
}

bool ScriptedASRProvider::push(const ASRStreamEvent& event)
{
    return events_ && events_->push(event);
}

bool ScriptedASRProvider::finishStream()
{
    if (!events_)
        return false;
    events_->finish();
    events_.reset();
    return true;
}

bool ScriptedASRProvider::failStream(std::exception_ptr error)
{
    if (!events_)
        return false;
    events_->finish(std::move(error));
    events_.reset();
    return true;
}

QCoro::Task<ASREventStream> ScriptedASRProvider::stream(ASRSessionConfig config, AudioFrameStream audio)
{
    record(QStringLiteral("asr.stream"));
    ++streamCount_;
    lastConfig_ = config;
    lastAudio_ = audio;
    if (streamDelay_.count() > 0)
        co_await sleepFor(streamDelay_);
    if (streamError_)
        std::rethrow_exception(streamError_);
    if (events_)
        events_->finish();
    ASREventStream events;
    events_ = events;
    for (const ASRStreamEvent& event : openingEvents_)
        events.push(event);
    co_return events;
}

QCoro::Task<void> ScriptedASRProvider::stop()
{
    record(QStringLiteral("asr.stop"));
    ++stopCount_;
    if (!events_) {
        ++droppedStopCount_;
        co_return;
    }
    if (stopResponse_.isEmpty())
        co_return;
    for (const ASRStreamEvent& event : stopResponse_)
        events_->push(event);
    finishStream();
}

QCoro::Task<void> ScriptedASRProvider::cancel()
{
    record(QStringLiteral("asr.cancel"));
    ++cancelCount_;
    finishStream();
    if (cancelDelay_.count() > 0)
        co_await sleepFor(cancelDelay_);
}

} // namespace vellamor::test
