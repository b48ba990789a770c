#pragma once

#include "CallLog.h"
#include "Dictation/ASRProvider.h"
#include "Support/Async/Sleep.h"

#include <QList>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>

namespace vellamor::test {

// A recogniser driven by the test. stream() may take a while to open the
// session (while it is opening, stop() and cancel() find no session and are
// dropped, the worst case the engine must cope with) or fail. Once open, the
// test pushes events itself, or a scripted answer follows stop(). Records
// "asr.stream", "asr.stop" and "asr.cancel".
class ScriptedASRProvider final : public ASRProvider {
public:
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }
    void setStreamDelay(std::chrono::milliseconds delay) { streamDelay_ = delay; }
    // cancel() ends the open stream at once but returns only after this delay.
    void setCancelDelay(std::chrono::milliseconds delay) { cancelDelay_ = delay; }
    // Thrown by every later stream() (after its delay) until cleared.
    void setStreamError(std::exception_ptr error) { streamError_ = std::move(error); }
    // Pushed into each new stream before stream() returns.
    void setOpeningEvents(QList<ASRStreamEvent> events) { openingEvents_ = std::move(events); }
    // Pushed when stop() finds an open session; the stream then ends normally.
    void setStopResponse(QList<ASRStreamEvent> events) { stopResponse_ = std::move(events); }

    // Into the open session's stream, if any.
    void push(const ASRStreamEvent& event)
    {
        if (events_)
            events_->push(event);
    }
    void failStream(std::exception_ptr error) { endStream(std::move(error)); }

    bool hasOpenStream() const { return events_.has_value(); }
    int streamCount() const { return streamCount_; }
    int stopCount() const { return stopCount_; }
    // stop() calls that found no open session.
    int droppedStopCount() const { return droppedStopCount_; }
    int cancelCount() const { return cancelCount_; }
    const std::optional<ASRSessionConfig>& lastConfig() const { return lastConfig_; }
    const std::optional<AudioFrameStream>& lastAudio() const { return lastAudio_; }

    QCoro::Task<ASREventStream> stream(ASRSessionConfig config, AudioFrameStream audio) override
    {
        record(QStringLiteral("asr.stream"));
        ++streamCount_;
        lastConfig_ = config;
        lastAudio_ = audio;
        if (streamDelay_.count() > 0)
            co_await sleepFor(streamDelay_);
        if (streamError_)
            std::rethrow_exception(streamError_);
        endStream();
        ASREventStream events;
        events_ = events;
        for (const ASRStreamEvent& event : openingEvents_)
            events.push(event);
        co_return events;
    }

    QCoro::Task<void> stop() override
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
        endStream();
    }

    QCoro::Task<void> cancel() override
    {
        record(QStringLiteral("asr.cancel"));
        ++cancelCount_;
        endStream();
        if (cancelDelay_.count() > 0)
            co_await sleepFor(cancelDelay_);
    }

private:
    void record(const QString& call)
    {
        if (callLog_)
            callLog_->record(call);
    }
    void endStream(std::exception_ptr error = nullptr)
    {
        if (events_)
            events_->finish(std::move(error));
        events_.reset();
    }

    std::shared_ptr<CallLog> callLog_;
    std::chrono::milliseconds streamDelay_{0};
    std::chrono::milliseconds cancelDelay_{0};
    std::exception_ptr streamError_;
    QList<ASRStreamEvent> openingEvents_;
    QList<ASRStreamEvent> stopResponse_;

    std::optional<ASREventStream> events_;
    std::optional<ASRSessionConfig> lastConfig_;
    std::optional<AudioFrameStream> lastAudio_;
    int streamCount_ = 0;
    int stopCount_ = 0;
    int droppedStopCount_ = 0;
    int cancelCount_ = 0;
};

} // namespace vellamor::test
