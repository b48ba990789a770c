#include "AudioCapture/AudioCapture.h"

#include "Audio/AudioCaptureError.h"
#include "Audio/AudioFormatSpec.h"
#include "Permissions/PermissionChecker.h"
#include "Support/Async/MainThread.h"
#include "Support/Error.h"

#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace vellamor {

namespace {

// A rate as a floating-point value is printed: "48000.0", "22050.5".
QString floatingPoint(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(value, 'f', 1);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

AudioCapture::AudioCapture(std::shared_ptr<platform::SoundServer> server, QObject* parent)
    : AudioCapture(std::move(server), VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio")), parent)
{
}

AudioCapture::AudioCapture(std::shared_ptr<platform::SoundServer> server, VellamorLog log, QObject* parent)
    : QObject(parent)
    , server_(std::move(server))
    , log_(std::move(log))
{
    // The queue outlives this object in the capture thread's handler, but
    // the wake-up it posts is dropped once this object is gone.
    QPointer<AudioCapture> self(this);
    queue_ = std::make_shared<AudioChunkQueue>([self] {
        postTo(self.data(), [self] {
            if (self)
                self->drain();
        });
    });
}

AudioCapture::~AudioCapture()
{
    // No handler may run once the members it reaches are gone.
    stream_.reset();
}

void AudioCapture::setSelectedInputDeviceUID(const std::optional<QString>& uid)
{
    selectedSource_ = uid && !uid->isEmpty() ? uid : std::nullopt;
}

Channel<float> AudioCapture::rmsStream()
{
    if (rmsContinuation_)
        rmsContinuation_->finish();
    rmsContinuation_ = Channel<float>::keepingNewest(levelStreamCapacity);
    return *rmsContinuation_;
}

std::optional<QString> AudioCapture::recordedSource(const platform::SoundServerSnapshot& devices) const
{
    if (selectedSource_) {
        const bool present = std::any_of(devices.sources.begin(), devices.sources.end(), [&](const auto& candidate) {
            return candidate.name == *selectedSource_ && !candidate.isMonitor;
        });
        if (present)
            return selectedSource_;
        log_.info(QStringLiteral("chosen microphone absent, recording from the default: ") + *selectedSource_);
    }
    return std::nullopt;
}

platform::AudioChunkHandler
AudioCapture::gatheringFrames(std::shared_ptr<AudioChunkQueue> queue, quint64 run,
                              std::shared_ptr<std::atomic<std::chrono::steady_clock::time_point>> firstSampleAt)
{
    // The server hands over a few milliseconds at a time. Gathering bytes
    // on the capture thread until they complete a frame spares the main
    // thread most wake-ups and delays no frame.
    struct Gathered {
        QByteArray bytes;
        qint64 total = 0;
    };
    auto gathered = std::make_shared<Gathered>();
    return [queue, run, gathered, firstSampleAt](const char* data, std::size_t size) {
        constexpr qint64 frameBytes = AudioFormatSpec::bytesPerFrame;
        if (gathered->total == 0) {
            // The first chunk ends now: its first sample was taken its length ago.
            const auto length = std::chrono::microseconds(static_cast<qint64>(size) * 1'000'000
                                                          / (AudioFormatSpec::bytesPerSample * AudioFormatSpec::sampleRate));
            firstSampleAt->store(std::chrono::steady_clock::now() - length);
        }
        gathered->bytes.append(data, static_cast<qsizetype>(size));
        gathered->total += static_cast<qint64>(size);
        const qint64 firstGathered = gathered->total - gathered->bytes.size();
        if (gathered->total / frameBytes > firstGathered / frameBytes)
            queue->push(run, std::exchange(gathered->bytes, QByteArray()));
    };
}

QCoro::Task<AudioFrameStream> AudioCapture::start()
{
    if (isRunning_ || isStarting_)
        throw AudioCaptureError::alreadyRunning();
    isStarting_ = true;
    const auto askedAt = std::chrono::steady_clock::now();
    QPointer<AudioCapture> self(this);
    const std::shared_ptr<platform::SoundServer> server = server_;
    const platform::SoundServerSnapshot devices = co_await server->snapshot();
    if (!self)
        throw CancellationError();
    if (PermissionChecker::microphoneState(devices).status != VellamorPermissionStatus::granted) {
        isStarting_ = false;
        throw AudioCaptureError::permissionDenied();
    }

    const std::optional<QString> source = recordedSource(devices);

    const quint64 run = ++lastRun_;
    acceptedRun_ = run;
    continuation_ = AudioFrameStream::keepingNewest(frameStreamCapacity);
    framer_.reset();
    toldFramesDropped_ = false;
    runAskedAt_ = askedAt;
    auto firstSampleAt = std::make_shared<std::atomic<std::chrono::steady_clock::time_point>>();
    firstSampleAt_ = firstSampleAt;

    auto onChunk = gatheringFrames(queue_, run, firstSampleAt);
    auto onFailure = [self, log = log_](const QString& reason) {
        postTo(self.data(), [log, reason] { log.warn(QStringLiteral("audio stream failed"), reason); });
    };
    platform::RecordStreamOpening opening;
    try {
        opening = co_await server->openRecordStream(source, onChunk, onFailure);
    } catch (...) {
        if (self) {
            isStarting_ = false;
            acceptedRun_ = 0;
        }
        throw;
    }
    if (!self)
        throw CancellationError();
    isStarting_ = false;
    if (!opening.stream) {
        acceptedRun_ = 0;
        throw AudioCaptureError::engineFailed(opening.failure);
    }
    stream_ = std::move(opening.stream);
    isRunning_ = true;
    log_.info(QStringLiteral("audio engine started hw=") + floatingPoint(stream_->sourceSampleRate())
              + QStringLiteral(" target=") + floatingPoint(static_cast<double>(AudioFormatSpec::sampleRate)));
    co_return AudioFrameStream(*continuation_);
}

QCoro::Task<void> AudioCapture::stop()
{
    if (!isRunning_)
        co_return;
    stream_.reset();
    // What the server delivered before the stream closed is part of the run.
    drain();
    acceptedRun_ = 0;
    if (continuation_)
        continuation_->finish();
    if (rmsContinuation_)
        rmsContinuation_->finish();
    continuation_.reset();
    rmsContinuation_.reset();
    framer_.reset();
    isRunning_ = false;
    log_.info(QStringLiteral("audio engine stopped"));
}

void AudioCapture::drain()
{
    for (const AudioChunkQueue::Chunk& chunk : queue_->takeAll()) {
        if (acceptedRun_ == 0 || chunk.run != acceptedRun_)
            continue;
        if (framer_.nextSequence() == 0 && firstSampleAt_)
            reportLateStart(firstSampleAt_->load());
        for (AudioFrame& frame : framer_.append(chunk.bytes))
            deliver(std::move(frame));
    }
}

void AudioCapture::reportLateStart(std::chrono::steady_clock::time_point firstSampleAt)
{
    const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(firstSampleAt - runAskedAt_);
    if (late > lateStart)
        log_.warn(QStringLiteral("audio started late: first sample %1 ms after the capture was asked for")
                      .arg(late.count()));
}

void AudioCapture::deliver(AudioFrame frame)
{
    const float level = frame.rms;
    if (continuation_) {
        if (continuation_->bufferedCount() >= frameStreamCapacity && !toldFramesDropped_) {
            toldFramesDropped_ = true;
            log_.warn(QStringLiteral("audio frames dropped: the consumer is more than 60 s behind"));
        }
        continuation_->push(std::move(frame));
    }
    if (rmsContinuation_)
        rmsContinuation_->push(level);
}

} // namespace vellamor
