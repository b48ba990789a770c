// Each insertion layer into a Qt line edit and a GTK entry of other
// processes, for 20 Chinese characters and for 500 characters of Chinese,
// Latin and emoji: the median time until the target shows the text and until
// the call returns (and the longest of each), and how many runs did not
// leave exactly the text. Needs the headless desktop:
//   scripts/desktop-session build/Benchmarks/vellamor-bench-text-insertion
// With "--order RUNS" it types a text that needs two keymap batches into the
// deliberately slow target instead, once per assumed read time per key, and
// counts the runs that did not arrive exactly: the shortest read time
// without a miss is the one the keystroke layer should assume. With "--long"
// it inserts 2 kB to 2 MB through the application's layered inserter into
// a GTK text view and reports, besides the times, the longest stretch the
// main thread went without running its event loop (goal: 50 ms). With
// "--read-only RUNS" it inserts 100,000 characters through the layered
// inserter into a read-only GTK text view holding 14, the clipboard holding
// another text before each run, and reports the outcome (what the island
// shows follows from it: "已复制到剪贴板" for allFailed and noTarget,
// "已插入" otherwise), what the clipboard holds afterwards and whether the
// view changed. With
// "--after-long RUNS" it types 2 Chinese characters into a GTK entry right
// after 380 characters that used more keys than are spare, and reports how
// long the short text took (goal: under a second). With "--own-window RUNS"
// it times the accessibility layer refusing a field of this very process,
// which the bus could only answer through the thread that waits (goal: under
// 500 ms). With "--busy RUNS" it inserts 10 Chinese characters through the
// layered inserter into a GTK entry that takes no text and whose main loop
// works 20 ms of every 40, and reports per run the outcome, the time until
// the call returns and the longest stretch this process's main thread went
// without running its event loop (goal: 50 ms). With "--launcher-stopped
// RUNS" it inserts 10 characters into a GTK entry through the layered
// inserter, trusting accessibility as the application does (asking the
// session's switch), while the accessibility bus's launcher is stopped, and
// reports the same (goal: no stretch over 100 ms).
#include "BenchmarkSupport.h"
#include "InsertionTexts.h"
#include "Permissions/PermissionChecker.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace vellamor;
using namespace std::chrono_literals;

namespace {

using benchmark::mixedText;
using benchmark::pause;
using benchmark::waitFor;

// One of the target programs of the text-insertion tests (see
// Tests/Vellamor/TextInsertion/Targets/TargetProtocol.h). Notes when its
// field first shows the awaited text.
class Target {
public:
    Target(const QString& program, const QStringList& arguments)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process_.setProcessEnvironment(environment);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { update(); });
        process_.start(program, arguments);
        waitFor([this] { return windowId_.has_value(); }, 15s);
        if (windowId_ == QStringLiteral("0"))
            windowId_ = windowOfProcess();
    }

    ~Target()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }

    bool activate()
    {
        if (!windowId_ || windowId_->isEmpty())
            return false;
        const int status = QProcess::execute(QStringLiteral("xdotool"),
                                             {QStringLiteral("windowactivate"), QStringLiteral("--sync"), *windowId_});
        // The slow target reports no focus changes: it gets the second anyway.
        waitFor([this] { return focused_; }, 1s);
        return status == 0;
    }

    // From now on, notes when the field holds `text`.
    void await(const QString& text)
    {
        awaited_ = text;
        shownAfter_.reset();
        clock_.start();
    }
    std::optional<double> shownAfter() const { return shownAfter_; }
    const QString& text() const { return text_; }

private:
    void update()
    {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
            if (line.startsWith(QStringLiteral("ready "))) {
                windowId_ = line.mid(6);
                continue;
            }
            focused_ = line.startsWith(QLatin1Char('1'));
            text_ = line.mid(2);
            if (!shownAfter_ && text_ == awaited_ && clock_.isValid())
                shownAfter_ = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        }
    }

    std::optional<QString> windowOfProcess()
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                 QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                                 QString::number(process_.processId())});
        if (!search.waitForFinished(10000))
            return std::nullopt;
        return QString::fromLatin1(search.readAllStandardOutput().trimmed().split('\n').last());
    }

    QProcess process_;
    std::optional<QString> windowId_;
    bool focused_ = false;
    QString text_;
    QString awaited_;
    QElapsedTimer clock_;
    std::optional<double> shownAfter_;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double maximum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

struct Measured {
    std::vector<double> shown;
    std::vector<double> returned;
    int wrong = 0;
};

// Empties the focused field through the accessibility bus.
bool clear(platform::AtspiAccessibilityBus& bus, Target& target)
{
    const auto element = runBlocking(bus.focusedElement());
    if (!element || runBlocking(bus.setTextContents(element, QString())) != 0)
        return false;
    return waitFor([&] { return target.text().isEmpty(); }, 5s);
}

Measured measure(AnyInserter& inserter, platform::AtspiAccessibilityBus& bus, Target& target, const QString& text,
                 int runs)
{
    Measured result;
    for (int run = 0; run < runs; ++run) {
        if (!clear(bus, target)) {
            ++result.wrong;
            continue;
        }
        pause(50ms);
        QElapsedTimer elapsed;
        target.await(text);
        elapsed.start();
        try {
            runBlocking(inserter.insert(text), 60s);
        } catch (...) {
            ++result.wrong;
            continue;
        }
        result.returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        if (waitFor([&] { return target.shownAfter().has_value(); }, 5s))
            result.shown.push_back(*target.shownAfter());
        else
            ++result.wrong;
    }
    return result;
}

int timings(const qint64 ownPid)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto pasteboard = std::make_shared<platform::QtPasteboard>();
    struct Layer {
        const char* name;
        std::shared_ptr<AnyInserter> inserter;
    };
    const Layer layers[] = {
        {"accessibility", std::make_shared<AccessibilityInserter>(
                              bus, [] { return true; }, [] { return false; }, ownPid)},
        {"keystrokes", std::make_shared<KeystrokeInserter>(injector, nullptr)},
        {"clipboard", std::make_shared<ClipboardInserter>(pasteboard, injector, nullptr)},
    };
    struct Size {
        const char* name;
        QString text;
        int runs;
    };
    const Size sizes[] = {{"20 Chinese", mixedText(20), 15}, {"500 mixed", mixedText(500), 5}};
    const std::pair<const char*, Target*> targets[] = {
        {"Qt", new Target(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), {QStringLiteral("QtLineEdit")})},
        {"GTK", new Target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkEntry")})},
    };

    std::printf("%-14s %-4s %-11s %5s %10s %10s %12s %12s %6s\n", "layer", "in", "text", "runs", "shown ms",
                "shown max", "returned ms", "returned max", "wrong");
    for (const auto& layer : layers) {
        for (const auto& size : sizes) {
            for (const auto& [toolkit, target] : targets) {
                if (!target->activate()) {
                    std::fprintf(stderr, "the %s target did not get the focus\n", toolkit);
                    return 1;
                }
                const Measured m = measure(*layer.inserter, *bus, *target, size.text, size.runs);
                std::printf("%-14s %-4s %-11s %5d %10.1f %10.1f %12.1f %12.1f %6d\n", layer.name, toolkit, size.name,
                            size.runs, median(m.shown), maximum(m.shown), median(m.returned), maximum(m.returned),
                            m.wrong);
                std::fflush(stdout);
            }
        }
    }
    for (const auto& [toolkit, target] : targets)
        delete target;
    return 0;
}

int order(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    Target target(QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {});
    if (!target.activate()) {
        std::fprintf(stderr, "the slow target did not get the focus\n");
        return 1;
    }
    // More distinct characters than the spare keys hold at once (two per key).
    const QString text = QStringLiteral("文🎉 mixed ✓ 今天我们在会议室里讨论了新版本的发布计划，大家都觉得这个功能非常重要，"
                                        "需要尽快完成测试并且修复所有已知的问题，然后再通知用户更新😀 OK");
    std::printf("%13s %5s %6s %10s %12s\n", "read ms/key", "runs", "wrong", "shown ms", "returned ms");
    for (const int readPerKey : {8, 10, 12, 14, 16, 20}) {
        KeystrokeInserter::Pacing pacing;
        pacing.readPerKey = std::chrono::milliseconds(readPerKey);
        KeystrokeInserter keyboard(injector, nullptr, eventLoopSleep(), pacing);
        const Measured m = measure(keyboard, *bus, target, text, runs);
        std::printf("%13d %5d %6d %10.1f %12.1f\n", readPerKey, runs, m.wrong, median(m.shown), median(m.returned));
        std::fflush(stdout);
    }
    return 0;
}

int afterLong(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkEntry")});
    if (!target.activate()) {
        std::fprintf(stderr, "the GTK target did not get the focus\n");
        return 1;
    }
    QString chinese;
    for (char32_t c = U'一'; c < U'一' + 60; ++c)
        chinese += QString::fromUcs4(&c, 1);
    const QString longText = QString(chinese + QStringLiteral(" and some latin text between them, ")).repeated(4);
    const QString shortText = QStringLiteral("好的");
    Measured m;
    for (int run = 0; run < runs; ++run) {
        if (!clear(*bus, target)) {
            ++m.wrong;
            continue;
        }
        target.await(longText);
        runBlocking(keyboard.insert(longText), 60s);
        if (!waitFor([&] { return target.shownAfter().has_value(); }, 60s)) {
            ++m.wrong;
            continue;
        }
        target.await(longText + shortText);
        QElapsedTimer elapsed;
        elapsed.start();
        runBlocking(keyboard.insert(shortText), 60s);
        m.returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        if (waitFor([&] { return target.shownAfter().has_value(); }, 60s))
            m.shown.push_back(*target.shownAfter());
        else
            ++m.wrong;
    }
    std::printf("2 characters after %lld typed: shown %.1f ms, returned %.1f ms (medians of %d runs), %d wrong\n",
                static_cast<long long>(longText.size()), median(m.shown), median(m.returned), runs, m.wrong);
    return 0;
}

int ownWindow(const qint64 ownPid, int runs)
{
    QLineEdit field;
    field.resize(300, 40);
    field.show();
    waitFor([&] { return field.windowHandle() && field.windowHandle()->isExposed(); }, 10s);
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(field.winId())});
    waitFor([&] { return field.hasFocus(); }, 10s);
    AccessibilityInserter ax(
        std::make_shared<platform::AtspiAccessibilityBus>(ownPid), [] { return true; }, [] { return false; }, ownPid);
    Measured m;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer elapsed;
        elapsed.start();
        try {
            runBlocking(ax.insert(QStringLiteral("x")), 60s);
            ++m.wrong;
        } catch (const AccessibilityInserterError& error) {
            m.returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
            m.wrong += error.kind() == AccessibilityInserterError::Kind::selfReflective ? 0 : 1;
        }
    }
    std::printf("own field refused in %.1f ms (median of %d runs), %d not refused as its own\n", median(m.returned),
                runs, m.wrong);
    return 0;
}

// The longest gap between two turns of the event loop while it runs, as
// seen by a timer of the given period.
class StallProbe {
public:
    explicit StallProbe(std::chrono::milliseconds period = 1ms)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, static_cast<double>(sinceLast_.nsecsElapsed()) / 1e6);
            sinceLast_.start();
        });
        timer_.start(period);
        sinceLast_.start();
    }
    double longest() const { return std::max(longest_, static_cast<double>(sinceLast_.nsecsElapsed()) / 1e6); }

private:
    QTimer timer_;
    QElapsedTimer sinceLast_;
    double longest_ = 0;
};

int longTexts(const qint64 ownPid)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    const LayeredInserter chain = SystemLayeredInserter::make(
        bus, std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::QtPasteboard>(),
        [] { return true; }, nullptr, nullptr);
    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkTextView")});
    if (!target.activate()) {
        std::fprintf(stderr, "the GTK target did not get the focus\n");
        return 1;
    }
    std::printf("%-7s %-10s %12s %10s %10s\n", "text", "strategy", "returned ms", "shown ms", "stall ms");
    for (const auto& [name, bytes] : {std::pair{"2 kB", 2'000}, std::pair{"20 kB", 20'000}, std::pair{"200 kB", 200'000},
                                      std::pair{"2 MB", 2'000'000}}) {
        for (int run = 0; run < 3; ++run) {
            // Two-byte characters in UTF-8 and no line breaks, as the target reports lines.
            const QString text = QString(bytes / 2, QChar(u'é'));
            if (!clear(*bus, target))
                pause(200ms);
            target.await(text);
            QElapsedTimer elapsed;
            elapsed.start();
            StallProbe probe;
            const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 60s);
            const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
            waitFor([&] { return target.shownAfter().has_value(); }, 20s);
            std::printf("%-7s %-10s %12.1f %10.1f %10.1f\n", name, qPrintable(rawValue(strategy)), returned,
                        target.shownAfter().value_or(-1), probe.longest());
            std::fflush(stdout);
        }
    }
    return 0;
}

int readOnly(const qint64 ownPid, int runs)
{
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(ownPid), std::make_shared<platform::XTestKeyInjector>(),
        std::make_shared<platform::QtPasteboard>(), [] { return true; }, nullptr, nullptr);
    const QString shown = QStringLiteral("fourteen chars");
    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkReadOnlyTextView"), shown});
    if (!target.activate()) {
        std::fprintf(stderr, "the GTK target did not get the focus\n");
        return 1;
    }
    const QString earlier = QStringLiteral("earlier 文本");
    const QString text = mixedText(100'000);
    std::printf("%-12s %-10s %12s %-10s %s\n", "characters", "strategy", "returned ms", "clipboard", "view");
    for (int run = 0; run < runs; ++run) {
        QGuiApplication::clipboard()->setText(earlier);
        QElapsedTimer elapsed;
        elapsed.start();
        const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 60s);
        const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        // A paste the view took would show within this.
        pause(500ms);
        const QString held = QGuiApplication::clipboard()->text();
        const char* clipboard = held == text ? "the text" : held == earlier ? "earlier" : "other";
        std::printf("%-12s %-10s %12.1f %-10s %s\n", "100,000", qPrintable(rawValue(strategy)), returned, clipboard,
                    target.text() == shown ? "unchanged" : "changed");
        std::fflush(stdout);
    }
    return 0;
}

int busy(const qint64 ownPid, int runs)
{
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(ownPid), std::make_shared<platform::XTestKeyInjector>(),
        std::make_shared<platform::QtPasteboard>(), [] { return true; }, nullptr, nullptr);
    Target target(QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {QStringLiteral("busy")});
    if (!target.activate()) {
        std::fprintf(stderr, "the busy target did not get the focus\n");
        return 1;
    }
    const QString text = mixedText(10);
    std::vector<double> returned;
    std::vector<double> stalls;
    std::printf("%4s %-10s %12s %10s\n", "run", "outcome", "returned ms", "stall ms");
    for (int run = 1; run <= runs; ++run) {
        QElapsedTimer elapsed;
        elapsed.start();
        StallProbe probe(5ms);
        QString outcome;
        try {
            outcome = rawValue(runBlocking(chain.insertLayered(text), 60s));
        } catch (const std::exception& error) {
            outcome = QString::fromUtf8(error.what());
        }
        returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        stalls.push_back(probe.longest());
        std::printf("%4d %-10s %12.1f %10.1f\n", run, qPrintable(outcome), returned.back(), stalls.back());
        std::fflush(stdout);
        pause(500ms);
    }
    std::printf("returned ms: median %.1f, max %.1f; stall ms: median %.1f, max %.1f\n", median(returned),
                maximum(returned), median(stalls), maximum(stalls));
    return 0;
}

// The process serving the accessibility bus's address and switch, as the session bus names it.
pid_t busLauncher()
{
    QProcess gdbus;
    gdbus.start(QStringLiteral("gdbus"),
        { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("--object-path"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("--method"), QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"),
            QStringLiteral("org.a11y.Bus") });
    gdbus.waitForFinished();
    const QString answer = QString::fromUtf8(gdbus.readAllStandardOutput());
    return static_cast<pid_t>(answer.section(u' ', 1).section(u',', 0, 0).toInt());
}

int launcherStopped(const qint64 ownPid, int runs)
{
    const auto checker = std::make_shared<PermissionChecker>(PermissionChecker::Facilities {
        nullptr, nullptr, std::make_shared<platform::DBusAccessibilityStatus>(), nullptr });
    const LayeredInserter chain = SystemLayeredInserter::make(std::make_shared<platform::AtspiAccessibilityBus>(ownPid),
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::QtPasteboard>(),
        SystemLayeredInserter::accessibilityTrust(checker), nullptr, nullptr);
    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), { QStringLiteral("GtkEntry") });
    if (!target.activate()) {
        std::fprintf(stderr, "the GTK target did not get the focus\n");
        return 1;
    }
    const QString text = mixedText(10);
    // Answered while the launcher runs: the switch and the bus are known.
    std::printf("launcher running: %s\n", qPrintable(rawValue(runBlocking(chain.insertLayered(text), 60s))));
    const pid_t launcher = busLauncher();
    if (launcher <= 0 || ::kill(launcher, SIGSTOP) != 0) {
        std::fprintf(stderr, "cannot stop the bus launcher\n");
        return 1;
    }
    std::vector<double> returned;
    std::vector<double> stalls;
    std::printf("%4s %-10s %12s %10s\n", "run", "outcome", "returned ms", "stall ms");
    for (int run = 1; run <= runs; ++run) {
        QElapsedTimer elapsed;
        elapsed.start();
        StallProbe probe(5ms);
        const QString outcome = rawValue(runBlocking(chain.insertLayered(text), 60s));
        returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        stalls.push_back(probe.longest());
        std::printf("%4d %-10s %12.1f %10.1f\n", run, qPrintable(outcome), returned.back(), stalls.back());
        std::fflush(stdout);
        pause(500ms);
    }
    ::kill(launcher, SIGCONT);
    std::printf("returned ms: median %.1f, max %.1f; stall ms: median %.1f, max %.1f\n", median(returned),
        maximum(returned), median(stalls), maximum(stalls));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qint64 ownPid = QCoreApplication::applicationPid();
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QStringLiteral("--long"))
        return longTexts(ownPid);
    if (arguments.value(1) == QStringLiteral("--read-only"))
        return readOnly(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--own-window"))
        return ownWindow(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--after-long"))
        return afterLong(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--busy"))
        return busy(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--launcher-stopped"))
        return launcherStopped(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--order"))
        return order(ownPid, std::max(1, arguments.value(2).toInt()));
    return timings(ownPid);
}
