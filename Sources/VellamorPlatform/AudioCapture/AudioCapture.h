#pragma once

#include "Audio/AudioCapturing.h"
#include "AudioCapture/AudioChunkQueue.h"
#include "AudioCapture/AudioFramer.h"
#include "Logging/VellamorLog.h"
#include "Platform/SoundServer/SoundServer.h"
#include "Support/Async/Channel.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

namespace vellamor {

// The microphone: records the chosen source of the sound server while it is
// there, else the default one, as 16 kHz mono
// 16-bit audio and hands it out in 20 ms frames, each followed by its level
// on the level stream. An actor on the main thread; the server delivers on
// a thread of its own, whose chunks reach the main thread through one
// ordered queue and are cut into frames there.
class AudioCapture final : public QObject, public AudioCapturing {
public:
    // Undelivered frames kept when the consumer lags (60 s: the recogniser's
    // connection may take that long); older ones are dropped.
    static constexpr std::size_t frameStreamCapacity = 3000;
    // Undelivered levels kept; the waveform only needs the latest.
    static constexpr std::size_t levelStreamCapacity = 8;
    // A run whose first sample was taken later than this after start() was
    // called (at the key-down, for an early capture) is logged with the
    // delay: the words said meanwhile are not in it.
    static constexpr std::chrono::milliseconds lateStart{30};

    // Logs to "com.vellamor.app"/"audio" unless told otherwise.
    explicit AudioCapture(std::shared_ptr<platform::SoundServer> server, QObject* parent = nullptr);
    AudioCapture(std::shared_ptr<platform::SoundServer> server, VellamorLog log, QObject* parent = nullptr);
    ~AudioCapture() override;

    // The source the next run records from, by its persistent name; none or
    // empty means the default source, as does a name the server lacks then.
    void setSelectedInputDeviceUID(const std::optional<QString>& uid);

    // A new level stream, replacing the previous one, which is finished and
    // gets nothing more. It lives until the next stop() or rmsStream().
    Channel<float> rmsStream();

    // Throws AudioCaptureError: alreadyRunning while a run is active or
    // starting; permissionDenied when the microphone is not available (see
    // PermissionChecker::microphone); engineFailed with the server's reason.
    QCoro::Task<AudioFrameStream> start() override;

    // Ends the run: the partial last frame is discarded, both streams finish.
    QCoro::Task<void> stop() override;

    bool isRunning() const { return isRunning_; }

private:
    // The chosen source while the server has it, else none (the default).
    std::optional<QString> recordedSource(const platform::SoundServerSnapshot& devices) const;
    // Runs on the capture thread: queues the run's bytes as each frame completes,
    // and notes when the run's first sample was taken.
    static platform::AudioChunkHandler
    gatheringFrames(std::shared_ptr<AudioChunkQueue> queue, quint64 run,
                    std::shared_ptr<std::atomic<std::chrono::steady_clock::time_point>> firstSampleAt);
    void drain();
    void deliver(AudioFrame frame);
    void reportLateStart(std::chrono::steady_clock::time_point firstSampleAt);

    std::shared_ptr<platform::SoundServer> server_;
    VellamorLog log_;
    std::optional<QString> selectedSource_;
    std::shared_ptr<AudioChunkQueue> queue_;
    std::unique_ptr<platform::RecordStream> stream_;
    std::optional<AudioFrameStream> continuation_;
    std::optional<Channel<float>> rmsContinuation_;
    AudioFramer framer_;
    std::chrono::steady_clock::time_point runAskedAt_;
    // Written once by the capture thread before the run's first chunk is queued.
    std::shared_ptr<std::atomic<std::chrono::steady_clock::time_point>> firstSampleAt_;
    quint64 lastRun_ = 0;
    // The run whose chunks are framed; 0 while none is.
    quint64 acceptedRun_ = 0;
    bool isRunning_ = false;
    bool isStarting_ = false;
    bool toldFramesDropped_ = false;
};

} // namespace vellamor
