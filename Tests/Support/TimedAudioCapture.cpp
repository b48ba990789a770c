#include "TimedAudioCapture.h"

#include "Audio/AudioConversion.h"
#include "Audio/AudioFormatSpec.h"
#include "Support/Async/Sleep.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace vellamor::test {

TimedAudioCapture::TimedAudioCapture(QList<AudioFrame> frames, std::chrono::milliseconds interval)
    : frames_(std::move(frames))
    , interval_(interval)
{
}

QList<AudioFrame> TimedAudioCapture::silentFrames(int count)
{
    QList<AudioFrame> frames;
    for (int i = 0; i < count; ++i)
        frames.append(AudioFrame(QByteArray(AudioFormatSpec::bytesPerFrame, '\0'), 0.0f, i));
    return frames;
}

QList<AudioFrame> TimedAudioCapture::toneFrames(int count, float amplitude)
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

void TimedAudioCapture::record(const QString& call)
{
    if (callLog_)
        callLog_->record(call);
}

QCoro::Task<AudioFrameStream> TimedAudioCapture::start()
{
    record(QStringLiteral("audio.start"));
    ++startCount_;
    if (startDelay_.count() > 0)
        co_await sleepFor(startDelay_);
    if (startError_)
        throw *startError_;
    if (running_)
        throw AudioCaptureError::alreadyRunning();
    running_ = true;
    AudioFrameStream stream;
    stream_ = stream;
    framesPushed_ = std::make_shared<int>(0);
    player_ = TaskHandle::start(
        [stream, frames = frames_, interval = interval_, pushed = framesPushed_](std::stop_token token) {
            return play(stream, frames, interval, pushed, std::move(token));
        });
    co_return stream;
}

QCoro::Task<void> TimedAudioCapture::stop()
{
    record(QStringLiteral("audio.stop"));
    ++stopCount_;
    if (running_) {
        running_ = false;
        player_.cancel();
        if (stream_)
            stream_->finish();
        stream_.reset();
    }
    co_return;
}

QCoro::Task<void> TimedAudioCapture::play(AudioFrameStream stream, QList<AudioFrame> frames,
                                          std::chrono::milliseconds interval, std::shared_ptr<int> pushed,
                                          std::stop_token token)
{
    qint64 sequence = 0;
    for (const AudioFrame& frame : frames) {
        const bool slept = co_await sleepFor(interval, token);
        if (!slept)
            co_return;
        stream.push(AudioFrame(frame.pcm, frame.rms, sequence++));
        ++*pushed;
    }
}

} // namespace vellamor::test
