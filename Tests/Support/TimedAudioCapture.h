#pragma once

#include "Audio/AudioCaptureError.h"
#include "Audio/AudioCapturing.h"
#include "Audio/AudioConversion.h"
#include "Audio/AudioFormatSpec.h"
#include "CallLog.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QList>
#include <QString>

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

namespace vellamor::test {

// A capture that plays a list of frames, one every `interval`, from the
// moment start() returns. Sequence numbers restart at 0 in every run. Like a
// microphone, the stream stays open after the last frame until stop().
// Records "audio.start" and "audio.stop".
class TimedAudioCapture final : public AudioCapturing {
public:
    TimedAudioCapture(QList<AudioFrame> frames, std::chrono::milliseconds interval)
        : frames_(std::move(frames))
        , interval_(interval)
    {
    }

    // `count` frames of 640 zero bytes.
    static QList<AudioFrame> silentFrames(int count)
    {
        QList<AudioFrame> frames;
        for (int i = 0; i < count; ++i)
            frames.append(AudioFrame(QByteArray(AudioFormatSpec::bytesPerFrame, '\0'), 0.0f, i));
        return frames;
    }

    // `count` frames of a 440 Hz sine of the given amplitude, through the
    // same conversion and level functions as a real capture.
    static QList<AudioFrame> toneFrames(int count, float amplitude)
    {
        QList<AudioFrame> frames;
        std::vector<float> samples(AudioFormatSpec::samplesPerFrame);
        qint64 n = 0;
        for (int i = 0; i < count; ++i) {
            for (float& sample : samples) {
                sample = amplitude
                    * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(n++)
                                                  / static_cast<double>(AudioFormatSpec::sampleRate)));
            }
            const QByteArray pcm = convertFloatToInt16LE(samples);
            frames.append(AudioFrame(pcm, calculateRMS(pcm), i));
        }
        return frames;
    }

    // Every start() fails with this error until cleared.
    void setStartError(std::optional<AudioCaptureError> error) { startError_ = std::move(error); }
    // start() waits this long before it begins the run (or fails).
    void setStartDelay(std::chrono::milliseconds delay) { startDelay_ = delay; }
    // stop() ends the stream at once but returns only after this long.
    void setStopDelay(std::chrono::milliseconds delay) { stopDelay_ = delay; }
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }

    int startCount() const { return startCount_; }
    int stopCount() const { return stopCount_; }
    bool isRunning() const { return stream_.has_value(); }

    QCoro::Task<AudioFrameStream> start() override
    {
        record(QStringLiteral("audio.start"));
        ++startCount_;
        if (startDelay_.count() > 0)
            co_await sleepFor(startDelay_);
        if (startError_)
            throw *startError_;
        if (stream_)
            throw AudioCaptureError::alreadyRunning();
        AudioFrameStream stream;
        stream_ = stream;
        player_ = TaskHandle::start([stream, frames = frames_, interval = interval_](std::stop_token token) {
            return play(stream, frames, interval, std::move(token));
        });
        co_return stream;
    }

    QCoro::Task<void> stop() override
    {
        record(QStringLiteral("audio.stop"));
        ++stopCount_;
        if (stream_) {
            player_.cancel();
            stream_->finish();
            stream_.reset();
        }
        if (stopDelay_.count() > 0)
            co_await sleepFor(stopDelay_);
    }

private:
    static QCoro::Task<void> play(AudioFrameStream stream, QList<AudioFrame> frames,
                                  std::chrono::milliseconds interval, std::stop_token token)
    {
        qint64 sequence = 0;
        for (const AudioFrame& frame : frames) {
            if (!co_await sleepFor(interval, token))
                co_return;
            stream.push(AudioFrame(frame.pcm, frame.rms, sequence++));
        }
    }

    void record(const QString& call)
    {
        if (callLog_)
            callLog_->record(call);
    }

    QList<AudioFrame> frames_;
    std::chrono::milliseconds interval_;
    std::optional<AudioCaptureError> startError_;
    std::chrono::milliseconds startDelay_{0};
    std::chrono::milliseconds stopDelay_{0};
    std::shared_ptr<CallLog> callLog_;

    int startCount_ = 0;
    int stopCount_ = 0;
    std::optional<AudioFrameStream> stream_;
    TaskHandle player_;
};

} // namespace vellamor::test
