// The assembled application, timed from outside as a user meets it. Run it
// inside scripts/desktop-session from a Release tree:
//   scripts/desktop-session build-rel/Benchmarks/vellamor-bench-app [dictations]
// It starts a development backend in this process, signs a development
// account in, starts the real app (toggle mode) and a Qt text window, then
// reports:
//   - launch → hotkey armed (the app's log line "hotkey tap started");
//   - idle RSS and CPU over 60 s, nothing recording, no window open;
//   - Right Ctrl tapped (XTest) → first audio frame at the backend;
//   - the backend's "done" → the text in the window, by accessibility.
// A tone plays into the virtual microphone during the dictations: it only
// delivers frames while something plays, in blocks as long as the player's
// buffer, so the player asks for a short one.

#include "AsrSessionEndpoint.h"
#include "BenchmarkSupport.h"
#include "DevelopmentAccount.h"
#include "Support/AppPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <unistd.h>

using namespace vellamor;

namespace {

using Clock = std::chrono::steady_clock;

using benchmark::pause;
using benchmark::percentile;
using benchmark::waitFor;

// The wall-clock time, in ms since 1970, of the newest log line holding `message`.
std::optional<qint64> loggedAt(const QString& message)
{
    QFile file(AppPaths::logFile().value_or(QString()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->contains(message))
            return QDateTime::fromString(it->section(u' ', 0, 0), Qt::ISODateWithMs).toMSecsSinceEpoch();
    }
    return std::nullopt;
}

struct ProcessTimes {
    double cpuSeconds = 0;
    long rssKiB = 0;
};

ProcessTimes timesOf(qint64 pid)
{
    ProcessTimes times;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(' ');
        times.cpuSeconds = static_cast<double>(fields.value(13).toLongLong() + fields.value(14).toLongLong())
            / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                times.rssKiB = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return times;
}

void report(const char* name, const std::vector<double>& values)
{
    std::printf("%-38s p50 %7.1f ms   p95 %7.1f ms   (n=%zu)\n", name, percentile(values, 0.5),
                percentile(values, 0.95), values.size());
}

// Right Ctrl down and up through XTest; returns when the release was sent.
Clock::time_point tapRightCtrl(Display* display)
{
    const KeyCode key = XKeysymToKeycode(display, XK_Control_R);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XFlush(display);
    QThread::msleep(40);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    XFlush(display);
    return Clock::now();
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION")) {
        std::fprintf(stderr, "run it inside scripts/desktop-session\n");
        return 2;
    }
    const int dictations = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 20;

    devbackend::DevServer server;
    benchmark::signInToDevelopmentBackend(server, QStringLiteral(VELLAMOR_DEV_SIGNIN));

    QProcess application;
    application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 launchedAt = QDateTime::currentMSecsSinceEpoch();
    application.start(QStringLiteral(VELLAMOR_APP), {});
    if (!waitFor([] { return loggedAt(QStringLiteral("hotkey tap started")).has_value(); }, std::chrono::seconds(20))) {
        std::fprintf(stderr, "the app did not arm its hotkey\n");
        return 1;
    }
    std::printf("launch -> hotkey armed                 %7lld ms\n",
                static_cast<long long>(*loggedAt(QStringLiteral("hotkey tap started")) - launchedAt));
    waitFor([] { return loggedAt(QStringLiteral("bootstrap: restored session")).has_value(); },
            std::chrono::seconds(20));

    // Idle: signed in, nothing recording, no window open.
    pause(std::chrono::seconds(5));
    const ProcessTimes before = timesOf(application.processId());
    pause(std::chrono::seconds(60));
    const ProcessTimes after = timesOf(application.processId());
    std::printf("idle RSS                               %7.1f MB\n", static_cast<double>(after.rssKiB) / 1024.0);
    std::printf("idle CPU over 60 s                     %7.3f %% of a core\n",
                (after.cpuSeconds - before.cpuSeconds) / 60.0 * 100.0);

    QTemporaryDir folder;
    const QString tone = folder.filePath(QStringLiteral("tone.wav"));
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("16000"),
                                              tone, QStringLiteral("synth"), QString::number(dictations * 4 + 20),
                                              QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                                              QStringLiteral("0.3")});
    QProcess player;
    // A short buffer: the virtual sink renders, and so feeds the microphone,
    // in blocks as long as the player's latency.
    player.start(QStringLiteral("paplay"),
                 {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), QStringLiteral("vsink"), tone});

    QProcess target;
    target.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET),
                 {QStringLiteral("QtLineEdit"), QString(), QString(), QString()});
    QString window;
    QString fieldText;
    Clock::time_point textChangedAt;
    const auto readTarget = [&] {
        while (target.canReadLine()) {
            const QString line = QString::fromUtf8(target.readLine()).chopped(1);
            if (line.startsWith(QStringLiteral("ready ")))
                window = line.mid(6);
            else if (line.mid(2) != fieldText) {
                fieldText = line.mid(2);
                textChangedAt = Clock::now();
            }
        }
    };
    QObject::connect(&target, &QProcess::readyReadStandardOutput, readTarget);
    waitFor([&] { return !window.isEmpty(); }, std::chrono::seconds(10));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});

    auto* endpoint = devbackend::AsrSessionEndpoint::of(server);
    std::optional<Clock::time_point> firstFrameAt;
    std::optional<Clock::time_point> doneAt;
    QObject::connect(endpoint, &devbackend::AsrSessionEndpoint::audioFrameReceived, [&](int, int index) {
        if (index == 0)
            firstFrameAt = Clock::now();
    });
    QObject::connect(endpoint, &devbackend::AsrSessionEndpoint::doneSent, [&](int) { doneAt = Clock::now(); });

    Display* display = XOpenDisplay(nullptr);
    std::vector<double> hotkeyToFrame;
    std::vector<double> doneToText;
    for (int run = 0; run < dictations; ++run) {
        firstFrameAt.reset();
        doneAt.reset();
        const QString textBefore = fieldText;
        const Clock::time_point tappedAt = tapRightCtrl(display);
        if (!waitFor([&] { return firstFrameAt.has_value(); }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "run %d: no audio reached the backend\n", run);
            continue;
        }
        hotkeyToFrame.push_back(msBetween(tappedAt, *firstFrameAt));
        pause(std::chrono::milliseconds(300));
        tapRightCtrl(display);
        if (waitFor([&] { return doneAt.has_value() && fieldText != textBefore; }, std::chrono::seconds(10)))
            doneToText.push_back(msBetween(*doneAt, textChangedAt));
        else
            std::fprintf(stderr, "run %d: no text arrived\n", run);
        pause(std::chrono::milliseconds(800));
    }
    XCloseDisplay(display);
    report("hotkey -> first frame at the backend", hotkeyToFrame);
    report("\"done\" -> text in the Qt field", doneToText);

    application.terminate();
    application.waitForFinished(10000);
    player.kill();
    target.kill();
    player.waitForFinished();
    target.waitForFinished();
    return 0;
}
