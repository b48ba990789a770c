// The assembled app's CPU time while it records, next to `parecord`'s on the
// same microphone in the same run. Run it inside scripts/desktop-session
// from a Release tree:
//   scripts/desktop-session build-rel/Benchmarks/vellamor-bench-recording-cpu [seconds] [runs]
// A tone plays into the virtual microphone through a player asking for a
// short buffer, so the microphone delivers in small pieces as a sound card
// does. Each run taps Right Ctrl (toggle mode) to start a dictation with the
// island shown, against a development backend in this process, while
// `parecord` records the same microphone (16 kHz mono, its default buffer),
// takes the CPU time of both over the same `seconds`, and taps again. CPU
// time is the scheduler's run time of every thread, so a busy machine does
// not inflate it. Reported: medians per second of audio, the ratio, and the
// app's threads by name.

#include "AsrSessionEndpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

// Last: it brings Xlib, whose macros clash with Qt's headers.
#include "DesktopAppSupport.h"

using namespace vellamor;

namespace {

using benchmark::pause;
using benchmark::percentile;
using benchmark::waitFor;

// Milliseconds each thread of `pid` has run, by thread name; the first
// thread (the main thread) is named "main".
QMap<QString, double> runTimes(qint64 pid)
{
    QMap<QString, double> times;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile sched(tasks + u'/' + tid + QStringLiteral("/sched"));
        if (!sched.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = sched.readAll().split('\n');
        QString name = tid == QString::number(pid) ? QStringLiteral("main")
                                                   : QString::fromUtf8(lines.value(0).split(' ').value(0));
        for (const QByteArray& line : lines) {
            if (line.startsWith("se.sum_exec_runtime"))
                times[name] += line.split(':').value(1).trimmed().toDouble();
        }
    }
    return times;
}

double total(const QMap<QString, double>& times)
{
    double sum = 0;
    for (const double value : times)
        sum += value;
    return sum;
}

// Right Ctrl down and up, as a user taps it.
void tapRightCtrl()
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Control_R")});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!benchmark::inDesktopSession())
        return 2;
    const int seconds = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 10;
    const int runs = argc > 2 ? std::max(1, QString::fromLatin1(argv[2]).toInt()) : 3;

    devbackend::DevServer server;
    benchmark::prepareSignedInApp(server, VELLAMOR_DEV_SIGNIN);

    QProcess application;
    application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    application.start(QStringLiteral(VELLAMOR_APP), {});
    const auto logged = [](const QString& message) {
        QFile file(AppPaths::logFile().value_or(QString()));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(message.toUtf8());
    };
    if (!waitFor([&] { return logged(QStringLiteral("bootstrap: restored session")); }, std::chrono::seconds(30))) {
        std::fprintf(stderr, "the app did not sign in\n");
        return 1;
    }

    QTemporaryDir folder;
    const QString tone = folder.filePath(QStringLiteral("tone.wav"));
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"),
                                              tone, QStringLiteral("synth"),
                                              QString::number(runs * (2 * seconds + 8) + 10), QStringLiteral("sine"),
                                              QStringLiteral("440"), QStringLiteral("vol"), QStringLiteral("0.3")});
    QProcess player;
    player.start(QStringLiteral("paplay"),
                 {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), QStringLiteral("vsink"), tone});
    pause(std::chrono::seconds(1));

    auto* endpoint = devbackend::AsrSessionEndpoint::of(server);
    bool streaming = false;
    QObject::connect(endpoint, &devbackend::AsrSessionEndpoint::audioFrameReceived, [&](int, int index) {
        if (index == 0)
            streaming = true;
    });
    std::vector<double> appMs;
    std::vector<double> parecordMs;
    QMap<QString, std::vector<double>> threadMs;
    for (int run = 0; run < runs; ++run) {
        // Side by side over the same seconds, so both meet the same load.
        QProcess parecord;
        parecord.start(QStringLiteral("parecord"),
                       {QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
                        folder.filePath(QStringLiteral("parecord.wav"))});
        streaming = false;
        tapRightCtrl();
        if (!waitFor([&] { return streaming; }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "run %d: no audio reached the backend\n", run);
            return 1;
        }
        pause(std::chrono::milliseconds(500));
        const QMap<QString, double> before = runTimes(application.processId());
        const double parecordBefore = total(runTimes(parecord.processId()));
        pause(std::chrono::seconds(seconds));
        const QMap<QString, double> after = runTimes(application.processId());
        parecordMs.push_back((total(runTimes(parecord.processId())) - parecordBefore) / seconds);
        tapRightCtrl();
        parecord.terminate();
        parecord.waitForFinished();
        appMs.push_back((total(after) - total(before)) / seconds);
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            threadMs[it.key()].push_back((it.value() - before.value(it.key())) / seconds);
        pause(std::chrono::seconds(3));
    }
    const double appMedian = percentile(appMs, 0.5);
    const double parecordMedian = percentile(parecordMs, 0.5);
    std::printf("CPU per second of audio, median of %d runs of %d s:\n", runs, seconds);
    std::printf("  the app, recording with the island shown  %6.2f ms\n", appMedian);
    std::printf("  parecord                                  %6.2f ms\n", parecordMedian);
    std::printf("  ratio                                     %6.2f (goal <= 1.5)\n", appMedian / parecordMedian);
    std::printf("the app's threads (median ms per second of audio):\n");
    for (auto it = threadMs.cbegin(); it != threadMs.cend(); ++it) {
        if (const double median = percentile(it.value(), 0.5); median >= 0.05)
            std::printf("  %-18s %6.2f\n", qPrintable(it.key()), median);
    }

    application.terminate();
    application.waitForFinished(10000);
    player.kill();
    player.waitForFinished();
    return 0;
}
