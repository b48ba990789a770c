// The application's memory where it spends its day, next to the floors Qt
// itself sets, in one run. Run it inside scripts/desktop-session from a
// Release tree:
//   scripts/desktop-session build-release/Benchmarks/vellamor-bench-memory [runs]
// Each run starts the application afresh (signed in to a development
// backend in this process) and reads its RSS and PSS:
//   - idle: signed in, settled, no window open;
//   - after the first dictation (toggle mode, a tone into the virtual
//     microphone, the text typed into a Qt window), once the island is gone;
//   - with the settings window shown through every section, the history
//     panel and the dictionary window open;
//   - a few seconds after they were all closed.
// The idle figure after the windows is given whole as well as the change.
// Under an XEmbed tray (the session's trayer) the icon is a window of the
// app; the report says whether one is present.
// The floors run the same way: a bare tray app, and the same tray app with a
// settings-like window, a history list and a dictionary list opened and
// closed. Medians over the runs, in MB. With VELLAMOR_MEMORY_SMAPS set to a
// folder, the app's /proc/PID/smaps at each point is copied there, to see
// which mappings hold the memory.

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

// Last: it brings Xlib, whose macros clash with Qt's headers.
#include "DesktopAppSupport.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace vellamor;
using namespace std::chrono_literals;

namespace {

using benchmark::loggedAt;
using benchmark::pause;
using benchmark::percentile;
using benchmark::waitFor;

// How long after the last window closed the figure is read: the windows'
// release delay and a margin.
constexpr auto afterClose = 8s;

struct Memory {
    double rss = 0;
    double pss = 0;
};

// From smaps_rollup, in MB.
Memory memoryOf(qint64 pid)
{
    Memory memory;
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const double mb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
        if (line.startsWith("Rss:"))
            memory.rss = mb;
        else if (line.startsWith("Pss:"))
            memory.pss = mb;
    }
    return memory;
}

// A child that takes commands on standard input and answers "ok".
bool command(QProcess& process, const char* line)
{
    process.write(line);
    process.write("\n");
    return waitFor([&] { return process.canReadLine() && process.readLine().trimmed() == "ok"; }, 30s);
}

void keepSmaps(qint64 pid, const std::string& point, int run)
{
    const QString folder = qEnvironmentVariable("VELLAMOR_MEMORY_SMAPS");
    if (folder.isEmpty())
        return;
    // Read, not copied: proc files report no size.
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    QFile kept(QStringLiteral("%1/%2-%3.smaps").arg(folder, QString::fromStdString(point)).arg(run));
    if (smaps.open(QIODevice::ReadOnly) && kept.open(QIODevice::WriteOnly))
        kept.write(smaps.readAll());
}

class Figures {
public:
    void add(const std::string& name, Memory memory) { values_[name].push_back(memory); }

    void print(const std::string& name, const std::string& floor) const
    {
        const auto median = [this](const std::string& key, double Memory::*field) {
            std::vector<double> values;
            for (const Memory& memory : values_.at(key))
                values.push_back(memory.*field);
            return percentile(values, 0.5);
        };
        std::printf("%-40s RSS %6.1f  PSS %6.1f   floor %-22s RSS %6.1f  PSS %6.1f  (n=%zu)\n", name.c_str(),
                    median(name, &Memory::rss), median(name, &Memory::pss), floor.c_str(),
                    median(floor, &Memory::rss), median(floor, &Memory::pss), values_.at(name).size());
    }

private:
    std::map<std::string, std::vector<Memory>> values_;
};

void runFloors(Figures& figures)
{
    QProcess tray;
    tray.start(QStringLiteral(VELLAMOR_MEMORY_FLOOR), {QStringLiteral("tray")});
    tray.waitForStarted();
    pause(5s);
    figures.add("tray app", memoryOf(tray.processId()));
    tray.kill();
    tray.waitForFinished();

    QProcess windows;
    windows.start(QStringLiteral(VELLAMOR_MEMORY_FLOOR), {QStringLiteral("windows")});
    windows.waitForStarted();
    pause(5s);
    const Memory idle = memoryOf(windows.processId());
    command(windows, "open");
    pause(1s);
    const Memory open = memoryOf(windows.processId());
    figures.add("window floor: open - idle", {open.rss - idle.rss, open.pss - idle.pss});
    command(windows, "close");
    pause(afterClose);
    const Memory closed = memoryOf(windows.processId());
    figures.add("window floor: closed - idle", {closed.rss - idle.rss, closed.pss - idle.pss});
    windows.kill();
    windows.waitForFinished();
}

// `typed` counts the changes of the target window's text.
bool runApp(Figures& figures, Display* display, const int& typed, int run)
{
    const qsizetype logSize = QFile(AppPaths::logFile().value_or(QString())).size();
    const auto loggedSinceStart = [logSize](const QString& message) {
        QFile file(AppPaths::logFile().value_or(QString()));
        return file.open(QIODevice::ReadOnly) && file.seek(logSize)
            && QString::fromUtf8(file.readAll()).contains(message);
    };
    QProcess application;
    application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    application.start(QStringLiteral(VELLAMOR_MEMORY_APP), {});
    if (!waitFor([&] { return loggedSinceStart(QStringLiteral("bootstrap: restored session")); }, 30s)) {
        std::fprintf(stderr, "the app did not restore its session\n");
        return false;
    }
    pause(5s);
    const Memory idle = memoryOf(application.processId());
    figures.add("idle, signed in", idle);
    keepSmaps(application.processId(), "idle", run);

    const int typedBefore = typed;
    benchmark::tapRightCtrl(display);
    pause(1500ms);
    benchmark::tapRightCtrl(display);
    if (!waitFor([&] { return typed != typedBefore; }, 15s))
        std::fprintf(stderr, "the dictation typed nothing\n");
    // The island's hide: its delay, two quiet seconds and the fade.
    pause(9s);
    figures.add("after the first dictation", memoryOf(application.processId()));
    keepSmaps(application.processId(), "dictated", run);

    command(application, "open");
    pause(1s);
    const Memory open = memoryOf(application.processId());
    figures.add("windows open - idle", {open.rss - idle.rss, open.pss - idle.pss});
    keepSmaps(application.processId(), "open", run);
    command(application, "close");
    pause(afterClose);
    const Memory closed = memoryOf(application.processId());
    figures.add("after the windows closed", closed);
    figures.add("windows closed - idle", {closed.rss - idle.rss, closed.pss - idle.pss});
    keepSmaps(application.processId(), "closed", run);

    application.terminate();
    application.waitForFinished(10000);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!benchmark::inDesktopSession())
        return 2;
    const int runs = benchmark::countArgument(argc, argv, 5);

    devbackend::DevServer server;
    benchmark::prepareSignedInApp(server, VELLAMOR_DEV_SIGNIN);

    QTemporaryDir folder;
    QProcess player;
    benchmark::playTone(player, folder.filePath(QStringLiteral("tone.wav")), runs * 60 + 60);
    QProcess target;
    target.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {QStringLiteral("QtLineEdit"), QString(), QString(), QString()});
    QString window;
    int typed = 0;
    QObject::connect(&target, &QProcess::readyReadStandardOutput, [&] {
        while (target.canReadLine()) {
            const QString line = QString::fromUtf8(target.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("ready ")))
                window = line.mid(6);
            else
                ++typed;
        }
    });
    waitFor([&] { return !window.isEmpty(); }, 10s);

    Display* display = XOpenDisplay(nullptr);
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        runFloors(figures);
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        if (!runApp(figures, display, typed, run))
            return 1;
    }
    const Atom tray = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    std::printf("XEmbed system tray: %s\n", XGetSelectionOwner(display, tray) != None ? "present" : "absent");
    XCloseDisplay(display);

    figures.print("idle, signed in", "tray app");
    figures.print("after the first dictation", "tray app");
    figures.print("after the windows closed", "tray app");
    figures.print("windows open - idle", "window floor: open - idle");
    figures.print("windows closed - idle", "window floor: closed - idle");

    player.kill();
    target.kill();
    player.waitForFinished();
    target.waitForFinished();
    return 0;
}
