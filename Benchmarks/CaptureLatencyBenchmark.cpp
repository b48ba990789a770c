// The microphone capture against the session's sound server:
// 1. CPU time of the whole process (and of its main thread) per second of
//    captured audio;
// 2. latency from the server handing a chunk to the capture thread to the
//    frame completed by that chunk reaching its consumer on the main thread
//    (p50, p95).
// The default source must produce sound; inside scripts/desktop-session
// (VELLAMOR_DESKTOP_SESSION set) a tone is played into vsink, whose monitor
// is the virtual microphone. Usage: vellamor-bench-capture [seconds]
#include "BenchmarkSupport.h"
#include "Audio/AudioFormatSpec.h"
#include "AudioCapture/AudioCapture.h"
#include "Logging/VellamorLog.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

using namespace vellamor;

namespace {

using Clock = std::chrono::steady_clock;

struct Delivery {
    qint64 endByte; // bytes of the run delivered once this chunk is in
    Clock::time_point at;
};

// Notes when each chunk left the sound server, then passes it on.
class TimedSoundServer final : public platform::SoundServer {
public:
    explicit TimedSoundServer(std::shared_ptr<platform::SoundServer> inner) : inner_(std::move(inner)) {}

    QCoro::Task<platform::SoundServerSnapshot> snapshot() override { return inner_->snapshot(); }

    QCoro::Task<platform::RecordStreamOpening> openRecordStream(std::optional<QString> source,
                                                                platform::AudioChunkHandler onChunk,
                                                                platform::StreamFailureHandler onFailure) override
    {
        auto log = log_;
        auto timed = [log, onChunk = std::move(onChunk)](const char* data, std::size_t size) {
            {
                std::lock_guard lock(log->mutex);
                log->total += static_cast<qint64>(size);
                log->deliveries.push_back({log->total, Clock::now()});
            }
            onChunk(data, size);
        };
        return inner_->openRecordStream(std::move(source), std::move(timed), std::move(onFailure));
    }

    Clock::time_point deliveredAt(qint64 byte) const
    {
        std::lock_guard lock(log_->mutex);
        const auto it = std::lower_bound(log_->deliveries.begin(), log_->deliveries.end(), byte,
                                         [](const Delivery& d, qint64 b) { return d.endByte < b; });
        return it == log_->deliveries.end() ? Clock::time_point() : it->at;
    }

    std::size_t chunkCount() const
    {
        std::lock_guard lock(log_->mutex);
        return log_->deliveries.size();
    }

private:
    struct Log {
        std::mutex mutex;
        qint64 total = 0;
        std::vector<Delivery> deliveries;
    };
    std::shared_ptr<platform::SoundServer> inner_;
    std::shared_ptr<Log> log_ = std::make_shared<Log>();
};

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double mainThreadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

using benchmark::percentile;

struct Result {
    qint64 frames = 0;
    double cpuSeconds = 0;
    double mainThreadCpuSeconds = 0;
    std::vector<double> latenciesMs;
};

QCoro::Task<void> consume(AudioFrameStream stream, std::shared_ptr<TimedSoundServer> server, qint64 frames,
                          std::shared_ptr<Result> result)
{
    while (result->frames < frames) {
        std::optional<AudioFrame> frame = co_await stream.next();
        if (!frame)
            co_return;
        const Clock::time_point arrived = Clock::now();
        const qint64 lastByte = (frame->sequence + 1) * AudioFormatSpec::bytesPerFrame;
        const Clock::time_point delivered = server->deliveredAt(lastByte);
        if (delivered != Clock::time_point())
            result->latenciesMs.push_back(std::chrono::duration<double, std::milli>(arrived - delivered).count());
        ++result->frames;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;

    QTemporaryDir folder;
    QProcess player;
    if (qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION")) {
        const QString tone = folder.filePath(QStringLiteral("tone.wav"));
        QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"),
                                                  QStringLiteral("-c"), QStringLiteral("2"), tone, QStringLiteral("synth"),
                                                  QString::number(seconds + 5), QStringLiteral("sine"), QStringLiteral("440"),
                                                  QStringLiteral("vol"), QStringLiteral("0.3")});
        player.start(QStringLiteral("paplay"), {QStringLiteral("-d"), QStringLiteral("vsink"), tone});
        player.waitForStarted();
    }

    auto pulse = std::make_shared<platform::PulseSoundServer>();
    auto server = std::make_shared<TimedSoundServer>(pulse);
    AudioCapture capture(server, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio"), nullptr, nullptr));
    auto result = std::make_shared<Result>();
    try {
        AudioFrameStream stream = runBlocking(capture.start());
        const double cpuBefore = processCpuSeconds();
        const double mainBefore = mainThreadCpuSeconds();
        const qint64 frames = seconds * 1000 / AudioFormatSpec::frameDurationMs;
        runBlocking(consume(stream, server, frames, result), std::chrono::seconds(seconds + 10));
        result->cpuSeconds = processCpuSeconds() - cpuBefore;
        result->mainThreadCpuSeconds = mainThreadCpuSeconds() - mainBefore;
        runBlocking(capture.stop());
    } catch (...) {
        std::fprintf(stderr, "capture failed: %s\n", describeException(std::current_exception()).toUtf8().constData());
        return 1;
    }
    if (player.state() != QProcess::NotRunning) {
        player.kill();
        player.waitForFinished();
    }

    const double audioSeconds = static_cast<double>(result->frames) * AudioFormatSpec::frameDurationMs / 1000.0;
    std::printf("captured %lld frames (%.1f s of audio) in %zu chunks\n", static_cast<long long>(result->frames),
                audioSeconds, server->chunkCount());
    std::printf("cpu per second of audio: %.2f ms (%.3f %% of one core)\n", 1000.0 * result->cpuSeconds / audioSeconds,
                100.0 * result->cpuSeconds / audioSeconds);
    std::printf("  of which the main thread: %.2f ms\n", 1000.0 * result->mainThreadCpuSeconds / audioSeconds);
    std::printf("chunk delivered -> frame on main thread: p50 %.3f ms, p95 %.3f ms, max %.3f ms\n",
                percentile(result->latenciesMs, 0.50), percentile(result->latenciesMs, 0.95),
                percentile(result->latenciesMs, 1.0));
    return 0;
}
