// What the island costs the main thread while the user speaks: the overlay
// shows a recording session for a number of seconds while the level pump
// writes a level every 20 ms, as it does from the microphone; reported is
// the main thread's CPU time and its context switches per second of audio.
// Run it inside scripts/desktop-session to paint through the X server.
// Usage: vellamor-bench-island-recording [seconds]
#include "BenchmarkSupport.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/RecordingOverlayController.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

using namespace vellamor;

namespace {

double threadCpuMillis()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

long threadSwitches()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    RecordingOverlayController overlay(nullptr);
    OverlayViewModel& model = overlay.viewModel();
    model.state = DictationState::recording();
    overlay.show();
    // Speech-like levels, written at the pump's rate.
    QTimer levels;
    levels.setTimerType(Qt::PreciseTimer);
    QObject::connect(&levels, &QTimer::timeout,
                     [&model] { model.rms = static_cast<float>(QRandomGenerator::global()->bounded(0.12)); });
    levels.start(20);
    // The island has come up and settled.
    benchmark::pause(std::chrono::milliseconds(1500));

    const double cpuBefore = threadCpuMillis();
    const long switchesBefore = threadSwitches();
    benchmark::pause(std::chrono::seconds(seconds));
    const double cpu = threadCpuMillis() - cpuBefore;
    const long switches = threadSwitches() - switchesBefore;
    std::printf("island while recording: %.1f ms main-thread CPU and %.0f context switches per second of audio "
                "(%d s on %s)\n",
                cpu / seconds, static_cast<double>(switches) / seconds, seconds,
                qPrintable(QGuiApplication::platformName()));
    return 0;
}
