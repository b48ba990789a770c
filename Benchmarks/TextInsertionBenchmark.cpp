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
// without running its event loop (goal: 50 ms). With "--paste-loan RUNS" it
// pastes 20 Chinese characters into a GTK entry and a Qt line edit whose
// processes are stopped for 150 ms, 300 ms and 1 s at the chord, another
// text on the clipboard each time, and counts the fields that showed the
// text, the earlier clipboard, or neither, with the outcomes; pastes with the
// clipboard's owner stopped, reporting the longest stretch the main thread
// went without its event loop (goal: 100 ms) and what the clipboard holds
// once the owner goes on; and times a paste's return against its text
// showing, and a second paste sent right after the first returned. With
// "--manager RUNS", under a clipboard manager started beforehand, it pastes
// into a GTK entry after another program's copy and reports how long the
// copy took to come back, then hands the clipboard over as at quit and tells
// what the clipboard holds once this process's broker is gone. With
// "--writer RUNS" it inserts 8,000 and 9,500 characters as one paragraph
// through the layered inserter into a new LibreOffice Writer document
// (installed by hand, as no test needs it), the clipboard holding another
// text before each run, and reports per run the outcome, whether the
// paragraph, read over its pages, holds the text once, and what the
// clipboard holds; then again with each write taken for unanswered, as
// Writer answers such a write after the call's time-out on a loaded machine.
// With "--writer-page-break RUNS" it writes 20 characters through the layered
// inserter into a Writer paragraph of 5,000 that spans a page break, at its
// start, in the middle of its first page, at that page's end and at its end;
// with "--writer-select-end RUNS" 11 characters right after Ctrl+A, Ctrl+C
// and Ctrl+End over a paragraph of 8,000 (the keys `KEYS` names, if set).
// Both report per run the outcome, and whether it says rightly where the
// text went, the paragraph read over all its pages.
// With "--writer-sessions RUNS" it starts Writer afresh for each run, under an
// accessibility bus made before it as the application's is, dictates a text,
// presses Enter and dictates another, and reports the layer each took, its
// time and whether the document holds both once.
// With "--launcher-stopped
// RUNS" it inserts 10 characters into a GTK entry through the layered
// inserter, trusting accessibility as the application does (asking the
// session's switch), while the accessibility bus's launcher is stopped, and
// reports the same (goal: no stretch over 100 ms). With "--stopped-target
// RUNS", under a clipboard reader started beforehand (parcellite, clipit,
// copyq), it pastes 20 Chinese characters through the layered inserter, its
// bus and key layers refusing so that the field read back judges the paste,
// into a Qt line edit and a GTK entry whose processes are stopped 1 s and 7 s
// at the chord, another text on the clipboard each time, and counts the
// fields that got the text, the earlier clipboard or neither, the outcomes,
// and the wrong ones: the earlier clipboard in the field, "clipboard" for a
// text not in, or a failure that did not leave the text on the clipboard.
// With "--user-copy RUNS" it pastes into mousepad and a GTK entry, the user
// selecting all and copying there 0.5 s and 3 s after the outcome, and counts
// the copies still on the clipboard 15 s later. With "--user-paste RUNS",
// its key source started as the application's hotkey monitor starts it, it
// pastes into Chromium, Firefox ESR, mousepad and xterm (installed by hand),
// the user pressing the paste chord 2 s after each outcome, and counts what
// that pasted and whether the clipboard held the user's contents again
// within 15 s; then it pastes into Chromium pages busy 1.5 s of 1.6 and 4 s
// of 4.1 and counts the fields that got the earlier clipboard.
#include "BenchmarkSupport.h"
#include "BrowserPage.h"
#include "Hotkey/HotkeyMonitor.h"
#include "InsertionTexts.h"
#include "Permissions/PermissionChecker.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/KeySource/X11KeySource.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <tuple>
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

public:
    qint64 processId() const { return process_.processId(); }

private:
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
    auto pasteboard = std::make_shared<platform::X11SelectionBroker>();
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

// The application's layered inserter over `bus`, the accessibility switch on.
LayeredInserter systemChain(std::shared_ptr<platform::AccessibilityBus> bus)
{
    return SystemLayeredInserter::make(std::move(bus), std::make_shared<platform::XTestKeyInjector>(),
                                       std::make_shared<platform::X11SelectionBroker>(), [] { return true; }, nullptr,
                                       nullptr);
}

int longTexts(const qint64 ownPid)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    const LayeredInserter chain = systemChain(bus);
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
    const LayeredInserter chain = systemChain(std::make_shared<platform::AtspiAccessibilityBus>(ownPid));
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

// Inserts `text` `runs` times through `chain`, and prints per run the
// outcome, the time until the call returned and the longest stretch the main
// thread went without its event loop, then their medians and maxima.
void timeStalls(const LayeredInserter& chain, const QString& text, int runs)
{
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
}

int busy(const qint64 ownPid, int runs)
{
    const LayeredInserter chain = systemChain(std::make_shared<platform::AtspiAccessibilityBus>(ownPid));
    Target target(QStringLiteral(VELLAMOR_SLOW_TEXT_TARGET), {QStringLiteral("busy")});
    if (!target.activate()) {
        std::fprintf(stderr, "the busy target did not get the focus\n");
        return 1;
    }
    timeStalls(chain, mixedText(10), runs);
    return 0;
}

// The bus, except that each insertion, applied, answers as one that got no
// answer in time.
class UnansweredInsertions final : public platform::AccessibilityBus {
public:
    explicit UnansweredInsertions(std::shared_ptr<platform::AccessibilityBus> bus) : bus_(std::move(bus)) {}

    QCoro::Task<Element> focusedElement() override { return bus_->focusedElement(); }
    std::optional<qint64> processId(const platform::AccessibleElement& element) override
    {
        return bus_->processId(element);
    }
    bool isSameElement(const platform::AccessibleElement& a, const platform::AccessibleElement& b) override
    {
        return bus_->isSameElement(a, b);
    }
    QCoro::Task<QString> toolkitName(Element element) override { return bus_->toolkitName(element); }
    QCoro::Task<bool> isEditableText(Element element) override { return bus_->isEditableText(element); }
    QCoro::Task<bool> isReadOnly(Element element) override { return bus_->isReadOnly(element); }
    QCoro::Task<std::optional<QString>> text(Element element) override { return bus_->text(element); }
    QCoro::Task<std::optional<int>> characterCount(Element element) override { return bus_->characterCount(element); }
    QCoro::Task<std::optional<int>> caretOffset(Element element) override { return bus_->caretOffset(element); }
    QCoro::Task<Element> flowsFrom(Element element) override { return bus_->flowsFrom(element); }
    QCoro::Task<Element> flowsTo(Element element) override { return bus_->flowsTo(element); }
    QCoro::Task<std::optional<platform::AccessibleRange>> selection(Element element) override
    {
        return bus_->selection(element);
    }
    QCoro::Task<bool> setCaretOffset(Element element, int offset) override
    {
        return bus_->setCaretOffset(element, offset);
    }
    QCoro::Task<int> insertText(Element element, int offset, QString text, int length) override
    {
        co_await bus_->insertText(std::move(element), offset, std::move(text), length);
        co_return unanswered;
    }
    QCoro::Task<int> deleteText(Element element, int start, int end) override
    {
        return bus_->deleteText(element, start, end);
    }
    QCoro::Task<int> setTextContents(Element element, QString text) override
    {
        return bus_->setTextContents(element, text);
    }

private:
    std::shared_ptr<platform::AccessibilityBus> bus_;
};

// The paragraph the focus is in, over all its pages; none without a focus.
std::optional<QString> focusedParagraph(platform::AtspiAccessibilityBus& bus)
{
    const auto focused = runBlocking(bus.focusedElement());
    if (!focused)
        return std::nullopt;
    QString text;
    auto page = focused;
    for (int hop = 0; page && hop < 64; ++hop) {
        text.prepend(runBlocking(bus.text(page)).value_or(QString()));
        page = runBlocking(bus.flowsFrom(page));
    }
    page = runBlocking(bus.flowsTo(focused));
    for (int hop = 0; page && hop < 64; ++hop) {
        text.append(runBlocking(bus.text(page)).value_or(QString()));
        page = runBlocking(bus.flowsTo(page));
    }
    return text;
}

// A new Writer document, killed at the end.
class Writer {
public:
    explicit Writer(platform::AtspiAccessibilityBus& bus) : bus_(bus)
    {
        office_.start(QStringLiteral("soffice"),
                      {QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--writer")});
    }
    ~Writer()
    {
        office_.kill();
        office_.waitForFinished(3000);
    }

    bool started()
    {
        if (waitFor([&] { return focusedParagraph(bus_) == QString(); }, 60s))
            return true;
        std::fprintf(stderr, "no empty Writer paragraph got the focus\n");
        return false;
    }

    // Leaves the document holding `paragraph` alone, the caret at its end;
    // false when it did not.
    bool holdOnly(const LayeredInserter& chain, const QString& paragraph)
    {
        keys({QStringLiteral("ctrl+a"), QStringLiteral("Delete")});
        waitFor([&] { return focusedParagraph(bus_) == QString(); }, 10s);
        runBlocking(chain.insertLayered(paragraph), 120s);
        return waitFor([&] { return focusedParagraph(bus_) == paragraph; }, 10s);
    }

    static void keys(const QStringList& names)
    {
        QProcess::execute(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + names);
    }

private:
    platform::AtspiAccessibilityBus& bus_;
    QProcess office_;
};

QString numberedWords(qsizetype length)
{
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += QString::number(i).rightJustified(4, u'0') + u' ';
    text.truncate(length);
    return text;
}

int writer(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const auto pasteboard = std::make_shared<platform::X11SelectionBroker>();
    const auto trusted = [] { return true; };
    Writer office(*bus);
    if (!office.started())
        return 1;
    const QString earlier = QStringLiteral("earlier 文本");
    std::printf("%-10s %-11s %-10s %12s %-9s %s\n", "characters", "write", "strategy", "returned ms", "document",
                "clipboard");
    for (const bool answered : {true, false}) {
        const LayeredInserter chain = SystemLayeredInserter::make(
            answered ? std::shared_ptr<platform::AccessibilityBus>(bus) : std::make_shared<UnansweredInsertions>(bus),
            injector, pasteboard, trusted, nullptr, nullptr);
        for (const int length : {8'000, 9'500}) {
            const QString text = numberedWords(length);
            for (int run = 0; run < runs; ++run) {
                Writer::keys({QStringLiteral("ctrl+a"), QStringLiteral("Delete")});
                waitFor([&] { return focusedParagraph(*bus) == QString(); }, 10s);
                QGuiApplication::clipboard()->setText(earlier);
                QElapsedTimer elapsed;
                elapsed.start();
                const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 120s);
                const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
                waitFor([&] { return focusedParagraph(*bus) == text; }, 10s);
                const QString shown = focusedParagraph(*bus).value_or(QString());
                const char* document = shown == text ? "once" : shown.count(text) > 1 ? "twice" : "other";
                const QString held = QGuiApplication::clipboard()->text();
                const char* clipboard = held == text ? "the text" : held == earlier ? "earlier" : "other";
                std::printf("%-10d %-11s %-10s %12.1f %-9s %s\n", length, answered ? "answered" : "unanswered",
                            qPrintable(rawValue(strategy)), returned, document, clipboard);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

// The outcome is right when it says where the text went: in the document
// once after an inserting layer, not in it when left on the clipboard.
const char* verdict(InsertStrategy strategy, const QString& shown, const QString& wanted, const QString& without)
{
    const bool inserted = strategy == InsertStrategy::ax || strategy == InsertStrategy::keyboard
                          || strategy == InsertStrategy::clipboard;
    if (shown == wanted)
        return inserted ? "in once, right" : "in once, reported failed";
    if (shown == without)
        return inserted ? "missing, reported inserted" : "not in, right";
    return shown.size() < without.size() ? "text lost" : "other";
}

// A dictation into a paragraph of 5,000 characters that Writer shows over two
// pages: at its start, in its first page, at that page's end and at its end.
int writerPageBreak(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    const LayeredInserter chain = systemChain(bus);
    Writer office(*bus);
    if (!office.started())
        return 1;
    const QString paragraph = numberedWords(5'000);
    const QString text = mixedText(20);
    std::printf("%-9s %-10s %12s %s\n", "place", "strategy", "returned ms", "document");
    // Where the caret goes in the first page, by its length; none: Ctrl+End.
    const std::vector<std::pair<const char*, std::optional<double>>> places {
        {"start", 0.0}, {"middle", 0.5}, {"page end", 1.0}, {"end", std::nullopt}};
    for (const auto& [place, share] : places) {
        for (int run = 0; run < runs; ++run) {
            if (!office.holdOnly(chain, paragraph)) {
                std::fprintf(stderr, "the paragraph did not go in\n");
                return 1;
            }
            int at = static_cast<int>(paragraph.size());
            if (share) {
                Writer::keys({QStringLiteral("ctrl+Home")});
                auto page = runBlocking(bus->focusedElement());
                waitFor([&] { return runBlocking(bus->caretOffset(page)) == 0; }, 5s);
                at = static_cast<int>(*share * runBlocking(bus->characterCount(page)).value_or(0));
                runBlocking(bus->setCaretOffset(page, at));
            }
            QElapsedTimer elapsed;
            elapsed.start();
            const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 120s);
            const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
            const QString wanted = paragraph.left(at) + text + paragraph.mid(at);
            waitFor([&] { return focusedParagraph(*bus) == wanted; }, 3s);
            std::printf("%-9s %-10s %12.1f %s\n", place, qPrintable(rawValue(strategy)), returned,
                        verdict(strategy, focusedParagraph(*bus).value_or(QString()), wanted, paragraph));
            std::fflush(stdout);
        }
    }
    return 0;
}

// An 8,000-character paragraph, then Ctrl+A, Ctrl+C and Ctrl+End, and a short
// dictation right after (the keys as `KEYS` names them, if set).
int writerSelectEnd(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    const LayeredInserter chain = systemChain(bus);
    Writer office(*bus);
    if (!office.started())
        return 1;
    const QString paragraph = numberedWords(8'000);
    const QString text = mixedText(11);
    const QStringList keys = qEnvironmentVariable("KEYS", QStringLiteral("ctrl+a ctrl+c ctrl+End")).split(u' ');
    std::printf("%-4s %-10s %12s %s\n", "run", "strategy", "returned ms", "document");
    for (int run = 0; run < runs; ++run) {
        if (!office.holdOnly(chain, paragraph)) {
            std::fprintf(stderr, "the paragraph did not go in\n");
            return 1;
        }
        Writer::keys(QStringList{QStringLiteral("--delay"), QStringLiteral("1")} + keys);
        QElapsedTimer elapsed;
        elapsed.start();
        const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 120s);
        const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        const QString wanted = keys.contains(QStringLiteral("ctrl+End")) ? paragraph + text : text;
        waitFor([&] { return focusedParagraph(*bus) == wanted; }, 3s);
        const QString shown = focusedParagraph(*bus).value_or(QString());
        std::printf("%-4d %-10s %12.1f %s (%lld characters)\n", run, qPrintable(rawValue(strategy)), returned,
                    verdict(strategy, shown, wanted, paragraph),
                    static_cast<long long>(shown.size()));
        std::fflush(stdout);
    }
    return 0;
}

QString clipboardText(const char* selection = "clipboard")
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QString::fromLatin1(selection),
                                          QStringLiteral("-t"), QStringLiteral("UTF8_STRING")});
    waitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10s);
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

// Another program copies `text`: xclip serves it until someone else copies.
// Its first process ends before the one it leaves behind takes the clipboard.
void copyElsewhere(const QString& text, const char* selection = "clipboard")
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-i"), QStringLiteral("-selection"), QString::fromLatin1(selection)});
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    waitFor([&] { return xclip.state() == QProcess::NotRunning; }, 5s);
    waitFor([&] { return clipboardText(selection) == text; }, 5s);
}

// Ends a process started here and the processes it started (soffice runs
// Writer in a child of its own).
void endTree(qint64 pid)
{
    if (pid <= 0)
        return;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray& child : children.readAll().split(' ')) {
            if (!child.trimmed().isEmpty())
                endTree(child.trimmed().toLongLong());
        }
    }
    ::kill(static_cast<pid_t>(pid), SIGKILL);
}

bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    // A zombie's state follows its name in parentheses.
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().split(')').last().trimmed().startsWith('Z');
}

// "getwindowname" or "getwindowpid" of the active window.
QString activeWindow(const char* what)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow"), QString::fromLatin1(what)});
    xdotool.waitForFinished(5000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

int writerSessions(const qint64 ownPid, int runs)
{
    const auto injector = std::make_shared<platform::XTestKeyInjector>();
    const auto pasteboard = std::make_shared<platform::X11SelectionBroker>();
    const QString first = QStringLiteral("第一句 hello");
    const QString second = QStringLiteral("second 句子");
    std::printf("%4s %-9s %-9s %9s %9s %s\n", "run", "first", "second", "first ms", "second ms", "document");
    int accessible = 0;
    for (int run = 1; run <= runs; ++run) {
        // Made before Writer starts, as the application is.
        auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
        runBlocking(bus->connected(), 10s);
        const LayeredInserter chain
            = SystemLayeredInserter::make(bus, injector, pasteboard, [] { return true; }, nullptr, nullptr);
        QProcess office;
        office.start(QStringLiteral("soffice"), {QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                                                 QStringLiteral("--writer")});
        const auto writerInFront
            = [] { return activeWindow("getwindowname").endsWith(QStringLiteral("LibreOffice Writer")); };
        if (!waitFor(writerInFront, 90s)) {
            std::fprintf(stderr, "Writer's window did not come to the front\n");
            endTree(office.processId());
            return 1;
        }
        // Writer itself, which soffice may have left running on its own.
        const qint64 writerPid = activeWindow("getwindowpid").toLongLong();
        // About when a user starts speaking.
        pause(2s);
        const auto dictate = [&](const QString& text) {
            QElapsedTimer elapsed;
            elapsed.start();
            const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 120s);
            return std::pair(strategy, static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        };
        const auto [firstWay, firstMs] = dictate(first);
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        // As a user speaks after the new paragraph shows, not while Writer still reads the key.
        waitFor([&] {
            const auto paragraph = runBlocking(bus->focusedElement());
            return paragraph && runBlocking(bus->text(paragraph)) == QString();
        }, 5s);
        const auto [secondWay, secondMs] = dictate(second);
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")});
        const QString expected = first + u'\n' + second;
        waitFor([&] { return clipboardText().trimmed() == expected; }, 5s);
        const QString shown = clipboardText().trimmed();
        accessible += firstWay == InsertStrategy::ax && secondWay == InsertStrategy::ax;
        std::printf("%4d %-9s %-9s %9.1f %9.1f %s\n", run, qPrintable(rawValue(firstWay)),
                    qPrintable(rawValue(secondWay)), firstMs, secondMs,
                    shown == expected ? "both once" : qPrintable(QStringLiteral("other: ") + shown.left(80)));
        std::fflush(stdout);
        endTree(office.processId());
        endTree(writerPid);
        office.waitForFinished(5000);
        // The next run's soffice must not hand its document to this Writer.
        waitFor([&] { return hasEnded(writerPid); }, 30s);
    }
    std::printf("sessions with every dictation through accessibility: %d of %d\n", accessible, runs);
    return 0;
}

QString outcomeOf(QCoro::Task<void> task)
{
    try {
        runBlocking(std::move(task), 60s);
        return QStringLiteral("ok");
    } catch (const Error& error) {
        return error.debugDescription();
    }
}

int pasteLoan(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    ClipboardInserter paste(std::make_shared<platform::X11SelectionBroker>(), injector, nullptr);
    const QString text = mixedText(20);
    std::printf("%-4s %-8s %5s %5s %8s %6s  %s\n", "in", "stopped", "runs", "text", "earlier", "other", "outcomes");
    for (const auto& [toolkit, program, field] :
         {std::tuple{"Qt", VELLAMOR_QT_TEXT_TARGET, "QtLineEdit"}, std::tuple{"GTK", VELLAMOR_GTK_TEXT_TARGET, "GtkEntry"}}) {
        Target target(QString::fromUtf8(program), {QString::fromUtf8(field)});
        if (!target.activate()) {
            std::fprintf(stderr, "the %s target did not get the focus\n", toolkit);
            return 1;
        }
        for (const auto stop : {150ms, 300ms, 1000ms}) {
            int got = 0, earlier = 0, other = 0;
            std::map<QString, int> outcomes;
            for (int run = 0; run < runs; ++run) {
                if (!clear(*bus, target)) {
                    ++other;
                    continue;
                }
                const QString before = QStringLiteral("earlier %1").arg(run);
                copyElsewhere(before);
                const auto pid = static_cast<pid_t>(target.processId());
                ::kill(pid, SIGSTOP);
                QTimer::singleShot(stop, [pid] { ::kill(pid, SIGCONT); });
                ++outcomes[outcomeOf(paste.insert(text))];
                waitFor([&] { return !target.text().isEmpty(); }, 5s);
                // A paste that arrives late shows within this.
                pause(300ms);
                if (target.text() == text)
                    ++got;
                else if (target.text().contains(before))
                    ++earlier;
                else
                    ++other;
            }
            QStringList line;
            for (const auto& [outcome, count] : outcomes)
                line << outcome + QStringLiteral(" ") + QString::number(count);
            std::printf("%-4s %5lld ms %5d %5d %8d %6d  %s\n", toolkit, static_cast<long long>(stop.count()), runs, got,
                        earlier, other, qPrintable(line.join(u',')));
            std::fflush(stdout);
        }
    }

    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkEntry")});
    if (!target.activate())
        return 1;
    std::printf("\nowner stopped: %-10s %10s %12s %s\n", "outcome", "stall ms", "returned ms", "clipboard after");
    for (int run = 0; run < runs; ++run) {
        // Stays in front (-quiet), so that stopping the process stops the owner.
        QProcess owner;
        owner.start(QStringLiteral("xclip"), {QStringLiteral("-i"), QStringLiteral("-selection"),
                                              QStringLiteral("clipboard"), QStringLiteral("-quiet")});
        owner.write("user text");
        owner.closeWriteChannel();
        waitFor([&] { return clipboardText() == QStringLiteral("user text"); }, 5s);
        ::kill(static_cast<pid_t>(owner.processId()), SIGSTOP);
        QElapsedTimer elapsed;
        elapsed.start();
        StallProbe probe(5ms);
        const QString outcome = outcomeOf(paste.insert(text));
        const double stall = probe.longest();
        const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
        const QString after = clipboardText();
        std::printf("               %-10s %10.1f %12.1f %s\n", qPrintable(outcome), stall, returned,
                    after == text ? "the text" : after == QStringLiteral("user text") ? "user text" : "other");
        std::fflush(stdout);
        owner.kill();
        owner.waitForFinished();
        clear(*bus, target);
    }

    std::printf("\n%-8s %12s %10s %16s\n", "run", "returned ms", "shown ms", "second shown ms");
    for (int run = 0; run < runs; ++run) {
        if (!clear(*bus, target))
            continue;
        copyElsewhere(QStringLiteral("earlier"));
        target.await(text);
        QElapsedTimer elapsed;
        elapsed.start();
        outcomeOf(paste.insert(text));
        const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        waitFor([&] { return target.shownAfter().has_value(); }, 10s);
        const double shown = target.shownAfter().value_or(-1);
        target.await(text + text);
        elapsed.start();
        outcomeOf(paste.insert(text));
        waitFor([&] { return target.shownAfter().has_value(); }, 10s);
        std::printf("%-8d %12.1f %10.1f %16.1f\n", run, returned, shown, target.shownAfter().value_or(-1));
        std::fflush(stdout);
    }
    return 0;
}

int manager(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto broker = std::make_shared<platform::X11SelectionBroker>();
    ClipboardInserter paste(broker, std::make_shared<platform::XTestKeyInjector>(), nullptr);
    Target target(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkEntry")});
    if (!target.activate())
        return 1;
    const QString text = mixedText(20);
    std::printf("%-4s %-10s %-6s %s\n", "run", "outcome", "shown", "user's copy back after ms");
    QString before;
    for (int run = 0; run < runs; ++run) {
        clear(*bus, target);
        before = QStringLiteral("user copy %1").arg(run);
        copyElsewhere(before);
        target.await(text);
        const QString outcome = outcomeOf(paste.insert(text));
        QElapsedTimer elapsed;
        elapsed.start();
        const bool shown = waitFor([&] { return target.shownAfter().has_value(); }, 10s);
        const bool back = waitFor([&] { return clipboardText() == before; }, 20s);
        std::printf("%-4d %-10s %-6s %s\n", run, qPrintable(outcome), shown ? "yes" : "no",
                    back ? qPrintable(QString::number(elapsed.elapsed())) : "never (20 s)");
        std::fflush(stdout);
    }
    // As at quit, during a loan unless told otherwise.
    clear(*bus, target);
    if (qEnvironmentVariableIsEmpty("AFTER_LOAN"))
        outcomeOf(paste.insert(text));
    else
        pause(8s);
    QElapsedTimer handing;
    handing.start();
    broker->handOver();
    std::printf("hand-over took %lld ms\n", static_cast<long long>(handing.elapsed()));
    paste = ClipboardInserter(nullptr, nullptr, nullptr);
    broker.reset();
    pause(500ms);
    const QString after = clipboardText();
    std::printf("after quitting: %s\n", after == before ? "the user's copy" : after == text ? "the text" : after.isEmpty() ? "empty" : "other");
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
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::X11SelectionBroker>(),
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
    timeStalls(chain, text, runs);
    ::kill(launcher, SIGCONT);
    return 0;
}


QString xdotoolOutput(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).section(u'\n', 0, 0);
}

// The event loop runs meanwhile, as the application's does: its key source reads there.
void pressKeys(const QString& keys)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + keys.split(u' '));
    waitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 10s);
}

// Empties the focused field as the user would: a clipboard manager on the
// accessibility bus (CopyQ) may be reported focused there instead.
bool clearByKeys(Target& target)
{
    pressKeys(QStringLiteral("ctrl+a BackSpace"));
    return waitFor([&] { return target.text().isEmpty(); }, 5s);
}

// Refuses every text, as a layer that finds nothing it can use: the chain goes on to the paste.
class RefusingInserter final : public AnyInserter {
public:
    QCoro::Task<void> insert(QString) override
    {
        throw std::runtime_error("refused");
        co_return;
    }
};

// The pasteboard, except that the target's process is stopped as the paste
// chord goes out and goes on `stop` later, as an application busy or
// swapped out when the user dictates.
class StoppingPasteboard final : public platform::Pasteboard {
public:
    StoppingPasteboard(std::shared_ptr<platform::Pasteboard> pasteboard, pid_t target, std::chrono::milliseconds stop)
        : pasteboard_(std::move(pasteboard)), target_(target), stop_(stop)
    {
    }

    void setText(platform::PasteboardSelection selection, const QString& text) override
    {
        pasteboard_->setText(selection, text);
    }
    QCoro::Task<platform::Lending> lend(platform::PasteboardSelection selection, QString text) override
    {
        auto loan = co_await pasteboard_->lend(selection, std::move(text));
        co_return loan ? std::make_shared<Loan>(std::move(loan), target_, stop_) : loan;
    }

private:
    class Loan final : public platform::PasteboardLoan {
    public:
        Loan(platform::Lending loan, pid_t target, std::chrono::milliseconds stop)
            : loan_(std::move(loan)), target_(target), stop_(stop)
        {
        }
        void chordSent(std::chrono::milliseconds fetchLimit) override
        {
            ::kill(target_, SIGSTOP);
            QTimer::singleShot(stop_, [pid = target_] { ::kill(pid, SIGCONT); });
            loan_->chordSent(fetchLimit);
        }
        QCoro::Task<platform::LoanProgress> firstFetch() override { return loan_->firstFetch(); }
        void keep() override { loan_->keep(); }
        void giveBack() override { loan_->giveBack(); }

    private:
        platform::Lending loan_;
        pid_t target_;
        std::chrono::milliseconds stop_;
    };

    std::shared_ptr<platform::Pasteboard> pasteboard_;
    pid_t target_;
    std::chrono::milliseconds stop_;
};

int stoppedTarget(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto broker = std::make_shared<platform::X11SelectionBroker>();
    const QString text = mixedText(20);
    std::printf("%-4s %-8s %5s %5s %8s %8s %9s %7s %6s  %s\n", "in", "stopped", "runs", "text", "earlier", "neither",
                "inserted", "failed", "wrong", "outcomes; clipboard after a failure");
    for (const auto& [toolkit, program, field] :
         {std::tuple{"Qt", VELLAMOR_QT_TEXT_TARGET, "QtLineEdit"}, std::tuple{"GTK", VELLAMOR_GTK_TEXT_TARGET, "GtkEntry"}}) {
        Target target(QString::fromUtf8(program), {QString::fromUtf8(field)});
        if (!target.activate()) {
            std::fprintf(stderr, "the %s target did not get the focus\n", toolkit);
            return 1;
        }
        for (const auto stop : {1000ms, 7000ms}) {
            const auto pasteboard =
                std::make_shared<StoppingPasteboard>(broker, static_cast<pid_t>(target.processId()), stop);
            // The app's chain where neither the bus nor keys can write: the field is read back.
            const LayeredInserter chain(std::make_shared<RefusingInserter>(), std::make_shared<RefusingInserter>(),
                std::make_shared<ClipboardInserter>(pasteboard, injector, nullptr),
                std::make_shared<DefaultAccessibilityProbe>(bus, injector, [] { return true; }, [] { return false; },
                                                            ownPid),
                pasteboard);
            int got = 0, earlier = 0, neither = 0, inserted = 0, failed = 0, wrong = 0;
            std::map<QString, int> outcomes;
            for (int run = 0; run < runs; ++run) {
                if (!target.activate() || !clearByKeys(target)) {
                    ++neither;
                    continue;
                }
                const QString before = QStringLiteral("earlier %1").arg(run);
                copyElsewhere(before);
                QElapsedTimer elapsed;
                elapsed.start();
                const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 60s);
                // Past the stop, a paste that arrives late shows within this.
                pause(std::max(0ms, stop - std::chrono::milliseconds(elapsed.elapsed())));
                waitFor([&] { return !target.text().isEmpty(); }, 3s);
                pause(500ms);
                const QString shown = target.text();
                const QString held = clipboardText();
                const bool in = shown == text;
                got += in;
                earlier += shown.contains(before);
                neither += !in && !shown.contains(before);
                const bool told = strategy == InsertStrategy::clipboard;
                inserted += told;
                failed += !told;
                wrong += shown.contains(before) || (told && !in) || (!told && !in && held != text);
                ++outcomes[rawValue(strategy) + (told ? QString() : held == text ? QStringLiteral("/text")
                                                        : held == before        ? QStringLiteral("/earlier")
                                                                                : QStringLiteral("/other"))];
            }
            QStringList line;
            for (const auto& [outcome, count] : outcomes)
                line << outcome + u' ' + QString::number(count);
            std::printf("%-4s %5lld ms %5d %5d %8d %8d %9d %7d %6d  %s\n", toolkit,
                        static_cast<long long>(stop.count()), runs, got, earlier, neither, inserted, failed, wrong,
                        qPrintable(line.join(QStringLiteral(", "))));
            std::fflush(stdout);
        }
    }
    return 0;
}

// A field of a real application, as the user's own copies and pastes meet it.
struct AppField {
    const char* name;
    // Activates the window and empties the field; false when it did not get the focus.
    std::function<bool()> focus;
    std::function<QString()> text;
    // What the user presses to paste, and which selection that pastes.
    QString pasteKeys = QStringLiteral("ctrl+v");
    const char* pastes = "clipboard";
};

// A page of the browser-fields test page's, its textarea focused.
AppField browserField(const char* name, test::BrowserPage& page)
{
    return {name, [&page] { return page.focus(test::BrowserPage::Field::textarea); },
            [&page] {
                QString seen = xdotoolOutput({QStringLiteral("getwindowname"), page.windowId()});
                if (seen.endsWith(page.titleSuffix()))
                    seen.chop(page.titleSuffix().size());
                return seen.mid(3);
            }};
}

// Mousepad's document, read over the bus.
AppField mousepadField(QProcess& mousepad, platform::AtspiAccessibilityBus& bus)
{
    mousepad.start(QStringLiteral("mousepad"), {QStringLiteral("--disable-server")});
    const QString window = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                          QStringLiteral("--pid"), QString::number(mousepad.processId())});
    const auto text = [&bus] {
        const auto element = runBlocking(bus.focusedElement());
        return element ? runBlocking(bus.text(element)).value_or(QString()) : QString();
    };
    return {"mousepad",
            [window, text] {
                QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
                pressKeys(QStringLiteral("ctrl+a Delete"));
                return waitFor([&] { return text().isEmpty(); }, 5s);
            },
            text};
}

// xterm running cat, which appends what the terminal gets to `log`.
AppField xtermField(QProcess& xterm, const QString& log)
{
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                          QStringLiteral("stty -icanon -echo; exec cat >> '%1'").arg(log)});
    const QString window = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                          QStringLiteral("--class"), QStringLiteral("xterm")});
    const auto text = [log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    return {"xterm",
            [window, log, text] {
                QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
                QFile(log).resize(0);
                return text().isEmpty();
            },
            text, QStringLiteral("shift+Insert"), "primary"};
}

// The user's copy of the pasted text (select all, Ctrl+C) made `after` the
// paste's outcome, in mousepad and a GTK entry: whether the clipboard still
// holds it 15 s later.
int userCopy(const qint64 ownPid, int runs)
{
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    ClipboardInserter paste(std::make_shared<platform::X11SelectionBroker>(),
                            std::make_shared<platform::XTestKeyInjector>(), nullptr);
    Target entry(QStringLiteral(VELLAMOR_GTK_TEXT_TARGET), {QStringLiteral("GtkEntry")});
    const AppField gtk{"GTK entry", [&] { return entry.activate() && clearByKeys(entry); }, [&] { return entry.text(); }};
    QProcess mousepad;
    const AppField editor = mousepadField(mousepad, *bus);
    const QString text = mixedText(20);
    std::printf("%-10s %-9s %5s %6s %5s  %s\n", "in", "copied", "runs", "shown", "kept", "outcomes; clipboard 15 s after when not kept");
    for (const AppField* field : {&editor, &gtk}) {
        for (const auto after : {500ms, 3000ms}) {
            int shown = 0, kept = 0;
            std::map<QString, int> outcomes;
            for (int run = 0; run < runs; ++run) {
                if (!field->focus())
                    continue;
                const QString before = QStringLiteral("earlier %1").arg(run);
                copyElsewhere(before);
                QString outcome = outcomeOf(paste.insert(text));
                if (!waitFor([&] { return field->text() == text; }, 10s)) {
                    ++outcomes[outcome + QStringLiteral("/not shown")];
                    continue;
                }
                ++shown;
                pause(after);
                pressKeys(QStringLiteral("ctrl+a ctrl+c"));
                waitFor([&] { return clipboardText() == text; }, 5s);
                pause(15s);
                const QString held = clipboardText();
                kept += held == text;
                if (held != text)
                    outcome += held == before ? QStringLiteral("/earlier") : QStringLiteral("/other");
                ++outcomes[outcome];
            }
            QStringList line;
            for (const auto& [outcome, count] : outcomes)
                line << outcome + u' ' + QString::number(count);
            std::printf("%-10s %6lld ms %5d %6d %5d  %s\n", field->name, static_cast<long long>(after.count()), runs,
                        shown, kept, qPrintable(line.join(QStringLiteral(", "))));
            std::fflush(stdout);
        }
    }
    mousepad.kill();
    mousepad.waitForFinished(3000);
    return 0;
}

// Pastes `text` into `field` `runs` times, another text on the clipboard
// (and PRIMARY) each time; 2 s after each outcome the user presses the paste
// chord. Prints what that pasted and whether the clipboard holds the user's
// contents again 15 s later.
void pasteAfterDictation(ClipboardInserter& paste, const AppField& field, const QString& text, int runs)
{
    int shown = 0, earlier = 0, again = 0, other = 0, back = 0;
    std::map<QString, int> outcomes;
    for (int run = 0; run < runs; ++run) {
        // A browser just started may take the first keys late.
        if (!field.focus() && !field.focus())
            continue;
        const QString before = QStringLiteral("earlier %1").arg(run);
        const QString beforePrimary = QStringLiteral("selected %1").arg(run);
        copyElsewhere(before);
        copyElsewhere(beforePrimary, "primary");
        ++outcomes[outcomeOf(paste.insert(text))];
        if (!waitFor([&] { return field.text() == text; }, 10s))
            continue;
        ++shown;
        pause(2s);
        pressKeys(field.pasteKeys);
        waitFor([&] { return field.text() != text; }, 5s);
        pause(300ms);
        const QString pasted = field.text().mid(text.size());
        const QString expected = qstrcmp(field.pastes, "primary") == 0 ? beforePrimary : before;
        earlier += pasted == expected;
        again += pasted == text;
        if (pasted != expected && pasted != text) {
            ++other;
            ++outcomes[QStringLiteral("pasted \"%1\"").arg(pasted.left(24))];
        }
        back += waitFor([&] { return clipboardText() == before; }, 15s);
    }
    QStringList line;
    for (const auto& [outcome, count] : outcomes)
        line << outcome + u' ' + QString::number(count);
    std::printf("%-9s %5d %6d %8d %5d %6d %9d  %s\n", field.name, runs, shown, earlier, again, other, back,
                qPrintable(line.join(QStringLiteral(", "))));
    std::fflush(stdout);
}

// The app's own chord into a Chromium page busy 1.5 s of 1.6 ("busy") or
// 4 s of 4.1 ("busy4"), which asks again when next free: what the field
// shows once the page has had its time.
void pasteIntoBusyPage(ClipboardInserter& paste, const char* busy, const QString& text, int runs)
{
    QUrl address = QUrl::fromLocalFile(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    address.setFragment(QString::fromLatin1(busy));
    test::BrowserPage page(address, QStringLiteral("^\\["));
    const AppField field = browserField(busy, page);
    int got = 0, earlier = 0, other = 0;
    std::map<QString, int> outcomes;
    for (int run = 0; run < runs; ++run) {
        if (!field.focus() && !field.focus())
            continue;
        const QString before = QStringLiteral("earlier %1").arg(run);
        copyElsewhere(before);
        ++outcomes[outcomeOf(paste.insert(text))];
        waitFor([&] { return field.text() == text; }, 10s);
        pause(6s);
        const QString shown = field.text();
        got += shown == text;
        earlier += shown.contains(before);
        other += shown != text && !shown.contains(before);
    }
    QStringList line;
    for (const auto& [outcome, count] : outcomes)
        line << outcome + u' ' + QString::number(count);
    std::printf("Chromium %-5s %5d %5d %8d %6d  %s\n", busy, runs, got, earlier, other,
                qPrintable(line.join(QStringLiteral(", "))));
    std::fflush(stdout);
}

// The user's paste chord 2 s after a pasted dictation's outcome, seen as the
// application sees it (its hotkey monitor started, told of the app's own
// keys): what it pastes in Chromium, Firefox, mousepad and xterm (PRIMARY,
// Shift+Insert); and what busy Chromium pages show for the app's own chord.
int userPaste(const qint64 ownPid, int runs)
{
    auto broker = std::make_shared<platform::X11SelectionBroker>();
    Published<bool> toggle(false);
    HotkeyMonitor monitor(std::make_unique<platform::X11KeySource>(), toggle);
    monitor.setPasteObserver([broker] { broker->userPasted(); });
    monitor.start(HotkeyMode::hold, std::nullopt, [](const HotkeyEvent&) {});
    ClipboardInserter paste(broker, std::make_shared<platform::XTestKeyInjector>(),
                            [&monitor](bool ignoring) { monitor.setIgnoringSyntheticInput(ignoring); });
    const QString text = mixedText(20);
    std::printf("%-9s %5s %6s %8s %5s %6s %9s  %s\n", "in", "runs", "shown", "earlier", "text", "other", "clip back",
                "outcomes");
    {
        test::BrowserPage chromium(QStringLiteral(VELLAMOR_BROWSER_PAGE));
        pasteAfterDictation(paste, browserField("Chromium", chromium), text, runs);
    }
    {
        test::BrowserPage firefox(test::BrowserPage::Browser::firefox, QStringLiteral(VELLAMOR_BROWSER_PAGE));
        pasteAfterDictation(paste, browserField("Firefox", firefox), text, runs);
    }
    {
        auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
        QProcess mousepad;
        pasteAfterDictation(paste, mousepadField(mousepad, *bus), text, runs);
        mousepad.kill();
        mousepad.waitForFinished(3000);
    }
    {
        QProcess xterm;
        QTemporaryDir logs;
        pasteAfterDictation(paste, xtermField(xterm, logs.filePath(QStringLiteral("xterm"))), text, runs);
        xterm.kill();
        xterm.waitForFinished(3000);
    }
    std::printf("\n%-14s %5s %5s %8s %6s  %s\n", "busy page", "runs", "text", "earlier", "other", "outcomes");
    for (const char* busy : {"busy", "busy4"})
        pasteIntoBusyPage(paste, busy, text, runs);
    monitor.stop();
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
    if (arguments.value(1) == QStringLiteral("--writer"))
        return writer(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--writer-page-break"))
        return writerPageBreak(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--writer-select-end"))
        return writerSelectEnd(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--writer-sessions"))
        return writerSessions(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--busy"))
        return busy(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--manager"))
        return manager(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--paste-loan"))
        return pasteLoan(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--launcher-stopped"))
        return launcherStopped(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--stopped-target"))
        return stoppedTarget(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--user-copy"))
        return userCopy(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--user-paste"))
        return userPaste(ownPid, std::max(1, arguments.value(2).toInt()));
    if (arguments.value(1) == QStringLiteral("--order"))
        return order(ownPid, std::max(1, arguments.value(2).toInt()));
    return timings(ownPid);
}
