// Capture from the press, in hold mode, with the real key source and sound
// server. Run it inside scripts/desktop-session:
//   scripts/desktop-session build-rel/Benchmarks/vellamor-bench-press-capture [holds] [--hog]
// Right Ctrl is pressed through XTest while a tone plays into the virtual
// microphone; the capture opens at key-down and the stream a session claims
// at the long press is read to its end (the release seals it). With --hog a
// busy loop runs on every core during the counted holds. Reports:
//   - key-down -> start of the first frame of that stream (the first audio
//     the recogniser would send), from the sound server's first chunk, and
//     how many holds lost more than 30 ms of it or got no audio at all;
//   - the same bound from the frame count: hold time - frames x 20 ms;
//   - a tap: the time the discard takes on the main thread, and that no
//     frame of it is ever handed out.

#include "BenchmarkSupport.h"
#include "Audio/AudioFormatSpec.h"
#include "Audio/EarlyAudioCapture.h"
#include "AudioCapture/AudioCapture.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Platform/KeySource/X11KeySource.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Spawn.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

using namespace vellamor;

namespace {

using Clock = std::chrono::steady_clock;
using benchmark::pause;
using benchmark::percentile;
using benchmark::waitFor;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Notes when the first chunk of each stream arrived and how long it was.
class FirstChunkSoundServer final : public platform::SoundServer {
public:
    explicit FirstChunkSoundServer(std::shared_ptr<platform::SoundServer> inner) : inner_(std::move(inner)) {}

    QCoro::Task<platform::SoundServerSnapshot> snapshot() override { return inner_->snapshot(); }

    QCoro::Task<platform::RecordStreamOpening> openRecordStream(std::optional<QString> source,
                                                                platform::AudioChunkHandler onChunk,
                                                                platform::StreamFailureHandler onFailure) override
    {
        auto first = std::make_shared<std::atomic<bool>>(true);
        auto timed = [this, first, onChunk = std::move(onChunk)](const char* data, std::size_t size) {
            if (first->exchange(false)) {
                std::lock_guard lock(mutex_);
                firstChunk_ = {Clock::now(), size};
            }
            onChunk(data, size);
        };
        return inner_->openRecordStream(std::move(source), std::move(timed), std::move(onFailure));
    }

    // When the first chunk's first sample was captured.
    std::optional<Clock::time_point> audioStart()
    {
        std::lock_guard lock(mutex_);
        if (!firstChunk_)
            return std::nullopt;
        const double chunkMs = static_cast<double>(firstChunk_->second) * 1000.0 / (2.0 * AudioFormatSpec::sampleRate);
        return firstChunk_->first - std::chrono::microseconds(static_cast<long long>(chunkMs * 1000.0));
    }
    void forget()
    {
        std::lock_guard lock(mutex_);
        firstChunk_.reset();
    }

private:
    std::shared_ptr<platform::SoundServer> inner_;
    std::mutex mutex_;
    std::optional<std::pair<Clock::time_point, std::size_t>> firstChunk_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const bool hog = arguments.contains(QStringLiteral("--hog"));
    const int holds = !arguments.isEmpty() && arguments.first() != u"--hog"
        ? std::max(1, arguments.first().toInt())
        : 40;
    const VellamorLog quiet(QStringLiteral("com.vellamor.app"), QStringLiteral("bench"), nullptr, nullptr);

    QTemporaryDir folder;
    const QString tone = folder.filePath(QStringLiteral("tone.wav"));
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("16000"), tone,
                                              QStringLiteral("synth"), QString::number(holds * 2 + 20),
                                              QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                                              QStringLiteral("0.3")});
    QProcess player;
    player.start(QStringLiteral("paplay"),
                 {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), QStringLiteral("vsink"), tone});
    pause(std::chrono::milliseconds(500));

    auto sound = std::make_shared<FirstChunkSoundServer>(std::make_shared<platform::PulseSoundServer>());
    auto capture = std::make_shared<AudioCapture>(sound, quiet);
    EarlyAudioCapture early(capture);
    Published<bool> toggle{false};
    HotkeyMonitor monitor(std::make_unique<platform::X11KeySource>(), toggle);

    Clock::duration discardCost{};
    monitor.setPressObserver([&](HotkeyStateMachine::PressPhase phase) {
        if (phase == HotkeyStateMachine::PressPhase::began) {
            early.open();
            return;
        }
        const Clock::time_point before = Clock::now();
        early.discard();
        discardCost = Clock::now() - before;
    });
    struct Claimed {
        int frames = 0;
        bool ended = false;
        qint64 firstSequence = -1;
        std::optional<AudioFrameStream> stream;
    };
    auto claimed = std::make_shared<Claimed>();
    std::optional<TaskHandle> reader;
    monitor.start(HotkeyMode::hold, std::nullopt, [&](const HotkeyEvent& event) {
        if (event.kind() == HotkeyEvent::Kind::released) {
            // What the recogniser's stop does: take nothing captured later.
            if (claimed->stream)
                claimed->stream->finish();
            return;
        }
        if (event.kind() != HotkeyEvent::Kind::pressed)
            return;
        *claimed = Claimed();
        reader = spawn(&app, QStringLiteral("reader"), [&early, claimed](std::stop_token) -> QCoro::Task<void> {
            AudioFrameStream frames = co_await early.start();
            claimed->stream = frames;
            while (const std::optional<AudioFrame> frame = co_await frames.next()) {
                if (claimed->firstSequence < 0)
                    claimed->firstSequence = frame->sequence;
                ++claimed->frames;
            }
            claimed->ended = true;
        });
    });

    Display* display = XOpenDisplay(nullptr);
    const KeyCode rightCtrl = XKeysymToKeycode(display, XK_Control_R);
    const auto key = [&](bool down) {
        XTestFakeKeyEvent(display, rightCtrl, down ? True : False, CurrentTime);
        XFlush(display);
        return Clock::now();
    };

    constexpr int holdMs = 600;
    constexpr double lateMs = 30;
    std::vector<double> toFirstChunk;
    std::vector<double> byFrameCount;
    int late = 0;
    int silent = 0;
    std::vector<QProcess*> hogs;
    int warmUps = 0;
    // Uncounted holds until the tone reaches the microphone: the player and
    // the first connection to the sound server start cold.
    for (int run = -1; run < holds; ++run) {
        sound->forget();
        const Clock::time_point down = key(true);
        pause(std::chrono::milliseconds(holdMs));
        const Clock::time_point up = key(false);
        if (!waitFor([&] { return claimed->ended; }, std::chrono::seconds(3))) {
            std::fprintf(stderr, "run %d: the claimed stream never ended\n", run);
            continue;
        }
        runBlocking(early.stop());
        if (run < 0) {
            if (claimed->frames == 0 && ++warmUps < 20)
                --run;
            else if (hog)
                for (int core = 0; core < QThread::idealThreadCount(); ++core) {
                    hogs.push_back(new QProcess(&app));
                    hogs.back()->start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
                }
            pause(std::chrono::milliseconds(150));
            continue;
        }
        const auto start = sound->audioStart();
        if (!start || claimed->frames == 0 || claimed->firstSequence != 0) {
            ++silent;
            std::fprintf(stderr, "run %d: no audio from the start of the stream\n", run);
        } else {
            toFirstChunk.push_back(msBetween(down, *start));
            late += toFirstChunk.back() > lateMs ? 1 : 0;
        }
        byFrameCount.push_back(msBetween(down, up) - claimed->frames * AudioFormatSpec::frameDurationMs);
        pause(std::chrono::milliseconds(150));
    }
    for (QProcess* busy : hogs) {
        busy->kill();
        busy->waitForFinished();
    }

    std::vector<double> discardUs;
    int tapFramesHandedOut = 0;
    for (int run = 0; run < holds; ++run) {
        *claimed = Claimed();
        key(true);
        pause(std::chrono::milliseconds(100));
        key(false);
        pause(std::chrono::milliseconds(150));
        discardUs.push_back(std::chrono::duration<double, std::micro>(discardCost).count());
        tapFramesHandedOut += claimed->frames;
    }
    XCloseDisplay(display);
    player.kill();
    player.waitForFinished();

    std::printf("hold mode, %d holds of %d ms%s:\n", holds, holdMs,
                hog ? qPrintable(QStringLiteral(", a busy loop on each of %1 cores").arg(hogs.size())) : "");
    std::printf("  key-down -> first captured sample sent   p50 %6.1f ms  p95 %6.1f ms  max %6.1f ms\n",
                percentile(toFirstChunk, 0.5), percentile(toFirstChunk, 0.95), percentile(toFirstChunk, 1.0));
    std::printf("  holds starting over %.0f ms late %d, holds without audio from the stream's start %d\n", lateMs,
                late, silent);
    std::printf("  hold - frames x 20 ms (upper bound)      p50 %6.1f ms  p95 %6.1f ms  max %6.1f ms\n",
                percentile(byFrameCount, 0.5), percentile(byFrameCount, 0.95), percentile(byFrameCount, 1.0));
    std::printf("tap, %d taps of 100 ms: discard on the main thread p50 %.1f us, max %.1f us; frames handed out %d\n",
                holds, percentile(discardUs, 0.5), percentile(discardUs, 1.0), tapFramesHandedOut);
    return 0;
}
