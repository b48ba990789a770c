#pragma once

#include "Audio/AudioCaptureError.h"
#include "Audio/AudioCapturing.h"
#include "CallLog.h"
#include "Support/Async/TaskHandle.h"

#include <QList>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor::test {

// A capture that plays a list of frames, one every `interval`, from the
// moment start() returns. Sequence numbers restart at 0 in every run. Like a
// microphone, the stream stays open after the last frame until stop().
// Records "audio.start" and "audio.stop".
class TimedAudioCapture final : public AudioCapturing {
public:
    explicit TimedAudioCapture(QList<AudioFrame> frames = silentFrames(50),
                               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

    // `count` frames of 640 zero bytes.
    static QList<AudioFrame> silentFrames(int count);
    // `count` frames of a 440 Hz sine of the given amplitude, through the
    // same conversion and level functions as a real capture.
    static QList<AudioFrame> toneFrames(int count, float amplitude);

    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    // Every start() fails with this error until cleared.
    void setStartError(std::optional<AudioCaptureError> error) { startError_ = std::move(error); }
    // start() waits this long before it begins the run (or fails).
    void setStartDelay(std::chrono::milliseconds delay) { startDelay_ = delay; }
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }

    int startCount() const { return startCount_; }
    int stopCount() const { return stopCount_; }
    bool isRunning() const { return running_; }
    // Frames pushed into the current or last run's stream.
    int framesPushed() const { return *framesPushed_; }

    QCoro::Task<AudioFrameStream> start() override;
    QCoro::Task<void> stop() override;

private:
    static QCoro::Task<void> play(AudioFrameStream stream, QList<AudioFrame> frames,
                                  std::chrono::milliseconds interval, std::shared_ptr<int> pushed, std::stop_token token);
    void record(const QString& call);

    QList<AudioFrame> frames_;
    std::chrono::milliseconds interval_;
    std::optional<AudioCaptureError> startError_;
    std::chrono::milliseconds startDelay_{0};
    std::shared_ptr<CallLog> callLog_;

    int startCount_ = 0;
    int stopCount_ = 0;
    bool running_ = false;
    std::optional<AudioFrameStream> stream_;
    TaskHandle player_;
    std::shared_ptr<int> framesPushed_ = std::make_shared<int>(0);
};

} // namespace vellamor::test
