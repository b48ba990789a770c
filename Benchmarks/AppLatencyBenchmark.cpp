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
// With "--long" instead, after launch: a dictation the backend answers with
// 2 MB of text into a text edit, then a short one into a fresh line edit,
// and the longest a second process's link waited for the app meanwhile
// (goal: 100 ms) and the short one's release to its text (goal: 2 s).
// With "--browser firefox" or "--browser chromium" (and a count of runs,
// 10 by default) instead, after launch: the browser shows the text-insertion
// tests' page, and for a short text dictated into its input field, the stop
// tap's release → the page showing the text, against `xdotool type` of the
// same text: its start → the page showing it (min, median, max), and the
// insertion layers that failed on the way, from the app's log. The page
// reports its field through the window's name, read from the X server.
// Firefox ESR is no test package: `apt-get install firefox-esr` first.
// A tone plays into the virtual microphone during the dictations: it only
// delivers frames while something plays, in blocks as long as the player's
// buffer, so the player asks for a short one.

#include "AsrSessionEndpoint.h"
#include "BrowserPage.h"
#include "InstanceProbe.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

// Last: they bring Xlib, whose macros clash with Qt's headers.
#include "DesktopAppSupport.h"
#include "PageName.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include <unistd.h>

using namespace vellamor;

namespace {

using Clock = std::chrono::steady_clock;

using benchmark::loggedAt;
using benchmark::pause;
using benchmark::percentile;
using benchmark::tapRightCtrl;
using benchmark::waitFor;

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

void reportSpread(const char* name, const std::vector<double>& values)
{
    std::printf("%-38s min %7.1f ms   median %7.1f ms   max %7.1f ms   (n=%zu)\n", name, percentile(values, 0),
                percentile(values, 0.5), percentile(values, 1), values.size());
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A Qt text window of the insertion tests, activated: its field's text as the
// program reports it, and when that last changed.
class QtField {
public:
    explicit QtField(const QString& widget)
    {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { read(); });
        process_.start(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {widget, QString(), QString(), QString()});
        waitFor([&] { return !window_.isEmpty(); }, std::chrono::seconds(10));
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window_});
    }
    ~QtField()
    {
        process_.kill();
        process_.waitForFinished();
    }

    const QString& text() const { return text_; }
    Clock::time_point changedAt() const { return changedAt_; }

private:
    void read()
    {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
            if (line.startsWith(QStringLiteral("ready ")))
                window_ = line.mid(6);
            else if (line.mid(2) != text_) {
                text_ = line.mid(2);
                changedAt_ = Clock::now();
            }
        }
    }

    QProcess process_;
    QString window_;
    QString text_;
    Clock::time_point changedAt_;
};

// Right Ctrl tapped to start and again to stop; returns when the second
// release was sent.
Clock::time_point dictate(Display* display)
{
    tapRightCtrl(display);
    pause(std::chrono::milliseconds(300));
    return tapRightCtrl(display);
}

int longDictation(devbackend::AsrSessionEndpoint& endpoint)
{
    QTemporaryDir folder;
    QProcess player;
    benchmark::playTone(player, folder.filePath(QStringLiteral("tone.wav")), 30);
    Display* display = XOpenDisplay(nullptr);
    auto options = endpoint.options();
    const QString longText = QStringLiteral("长文本 long text ").repeated(2'000'000 / 21);
    options.finalText = longText;
    endpoint.setOptions(options);

    test::InstanceProbe probe;
    {
        const QtField first(QStringLiteral("QtTextEdit"));
        dictate(display);
        if (!waitFor([&] { return first.text() == longText; }, std::chrono::seconds(120)))
            std::fprintf(stderr, "the 2 MB text did not arrive\n");
    }
    options.finalText = QStringLiteral("第二段");
    endpoint.setOptions(options);
    const QtField second(QStringLiteral("QtLineEdit"));
    const Clock::time_point releasedAt = dictate(display);
    const bool arrived = waitFor([&] { return second.text() == QStringLiteral("第二段"); }, std::chrono::seconds(60));
    probe.stop();
    XCloseDisplay(display);
    player.kill();
    player.waitForFinished();

    const std::chrono::milliseconds never{60'000};
    std::chrono::milliseconds longest = never;
    waitFor([&] { return (longest = probe.longestDelay(benchmark::appLogLines(), never)) < never; },
            std::chrono::seconds(20));
    std::printf("longest single-instance answer          %7lld ms%s\n", static_cast<long long>(longest.count()),
                longest < never ? "" : " (a link never answered)");
    if (arrived)
        std::printf("release -> next text after 2 MB        %7.1f ms\n", msBetween(releasedAt, second.changedAt()));
    else
        std::fprintf(stderr, "the text after the 2 MB one did not arrive\n");
    return arrived && longest < never ? 0 : 1;
}

// Each run empties and focuses the page's input field first.
int browserDictations(devbackend::AsrSessionEndpoint& endpoint, test::BrowserPage::Browser browser, int runs)
{
    QTemporaryDir folder;
    QProcess player;
    benchmark::playTone(player, folder.filePath(QStringLiteral("tone.wav")), runs * 4 + 20);
    // Latin alone, so that `xdotool type` delivers it intact.
    const QString text = QStringLiteral("hello from the benchmark");
    auto options = endpoint.options();
    options.finalText = text;
    endpoint.setOptions(options);

    test::BrowserPage page(browser, QStringLiteral(VELLAMOR_BROWSER_PAGE));
    if (!page.isStarted()) {
        std::fprintf(stderr, "the browser did not show the page\n");
        return 1;
    }
    const Window window = page.windowId().toULong();
    benchmark::PageName name;
    const auto shows = [&] { return name.text(window) == text + page.titleSuffix(); };
    const auto shown = [&] { return name.text(window).value_or(QStringLiteral("<no name>")); };
    const std::chrono::seconds limit{20};

    Display* display = XOpenDisplay(nullptr);
    // The last line read is the empty one after the log's last line break.
    const qsizetype logBefore = benchmark::appLogLines().size() - 1;
    std::vector<double> releaseToText;
    for (int run = 0; run < runs; ++run) {
        if (!page.focus(test::BrowserPage::Field::input)) {
            std::fprintf(stderr, "run %d: the field did not take the focus\n", run);
            continue;
        }
        const Clock::time_point releasedAt = dictate(display);
        if (waitFor(shows, limit))
            releaseToText.push_back(msBetween(releasedAt, Clock::now()));
        else
            std::fprintf(stderr, "run %d: the window shows \"%s\"\n", run, qPrintable(shown()));
        // The island closes and the app is idle again.
        pause(std::chrono::milliseconds(800));
    }
    XCloseDisplay(display);
    player.kill();
    player.waitForFinished();

    std::vector<double> typedToText;
    for (int run = 0; run < runs; ++run) {
        if (!page.focus(test::BrowserPage::Field::input))
            continue;
        QProcess typing;
        const Clock::time_point startedAt = Clock::now();
        typing.start(QStringLiteral("xdotool"), {QStringLiteral("type"), text});
        if (waitFor(shows, limit))
            typedToText.push_back(msBetween(startedAt, Clock::now()));
        else
            std::fprintf(stderr, "xdotool run %d: the window shows \"%s\"\n", run, qPrintable(shown()));
        waitFor([&] { return typing.state() == QProcess::NotRunning; }, limit);
    }

    reportSpread("release -> text in the page", releaseToText);
    reportSpread("xdotool type start -> text in the page", typedToText);
    std::map<QString, int> failures;
    for (const QString& line : benchmark::appLogLines().mid(logBefore)) {
        if (const qsizetype at = line.indexOf(QStringLiteral("layer ")); at >= 0)
            ++failures[line.mid(at)];
    }
    for (const auto& [failure, count] : failures)
        std::printf("%3d x %s\n", count, qPrintable(failure));
    return releaseToText.size() == static_cast<std::size_t>(runs) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!benchmark::inDesktopSession())
        return 2;
    const int dictations = benchmark::countArgument(argc, argv, 20);

    devbackend::DevServer server;
    benchmark::prepareSignedInApp(server, VELLAMOR_DEV_SIGNIN);

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
    auto* endpoint = devbackend::AsrSessionEndpoint::of(server);
    const QString mode = app.arguments().value(1);
    if (mode == QStringLiteral("--long") || mode == QStringLiteral("--browser")) {
        const int status = mode == QStringLiteral("--long")
            ? longDictation(*endpoint)
            : browserDictations(*endpoint,
                                app.arguments().value(2) == QStringLiteral("firefox")
                                    ? test::BrowserPage::Browser::firefox
                                    : test::BrowserPage::Browser::chromium,
                                std::max(1, app.arguments().value(3, QStringLiteral("10")).toInt()));
        application.terminate();
        application.waitForFinished(10000);
        return status;
    }

    // Idle: signed in, nothing recording, no window open.
    pause(std::chrono::seconds(5));
    const ProcessTimes before = timesOf(application.processId());
    pause(std::chrono::seconds(60));
    const ProcessTimes after = timesOf(application.processId());
    std::printf("idle RSS                               %7.1f MB\n", static_cast<double>(after.rssKiB) / 1024.0);
    std::printf("idle CPU over 60 s                     %7.3f %% of a core\n",
                (after.cpuSeconds - before.cpuSeconds) / 60.0 * 100.0);

    QTemporaryDir folder;
    QProcess player;
    benchmark::playTone(player, folder.filePath(QStringLiteral("tone.wav")), dictations * 4 + 20);

    const QtField field(QStringLiteral("QtLineEdit"));

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
        const QString textBefore = field.text();
        const Clock::time_point tappedAt = tapRightCtrl(display);
        if (!waitFor([&] { return firstFrameAt.has_value(); }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "run %d: no audio reached the backend\n", run);
            continue;
        }
        hotkeyToFrame.push_back(msBetween(tappedAt, *firstFrameAt));
        pause(std::chrono::milliseconds(300));
        tapRightCtrl(display);
        if (waitFor([&] { return doneAt.has_value() && field.text() != textBefore; }, std::chrono::seconds(10)))
            doneToText.push_back(msBetween(*doneAt, field.changedAt()));
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
    player.waitForFinished();
    return 0;
}
