// Keystrokes and pastes into a textarea of Chromium (Debian's), for 20
// Chinese characters and for 500 characters of Chinese, Latin and emoji, and
// a paste of 50,000 characters: the median time until the page shows the
// text and until the call returns, and how many runs did not leave exactly
// the text; into Firefox ESR instead (installed by hand) with "firefox" after
// RUNS. Needs the headless desktop:
//   scripts/desktop-session build/Benchmarks/vellamor-bench-browser-insertion [RUNS]
// With "dictations" after RUNS it types RUNS short Chinese-and-Latin texts,
// each opening on a newly mapped key, and counts those that arrived exactly,
// with and without waiting for the browser to answer after each keymap change.
// With "read-only" after RUNS it starts Chromium with its fields on the bus
// and inserts 9,990 characters of the mix (past the bus's limit of 10,000
// UTF-16 units alone) and 9,999 Chinese ones (past it with the field's two)
// through the layered inserter into the read-only textarea, the clipboard holding another text before each run,
// and reports the outcome (the island shows "已复制到剪贴板" for allFailed
// and noTarget, "已插入" otherwise), what the clipboard holds afterwards and
// whether the field changed.
// With "held" after RUNS it pastes texts of 50,000, 200,000 and 2,000,000
// UTF-16 units RUNS times each, a distinct other text on the clipboard before
// each, and with "held busy" short texts into the page kept busy 1.5 s of
// every 1.6 s; each line counts how often the field got the text, the earlier
// contents, nothing or something else, and how the paste ended, with the
// times of the clipboard's changes of owner in the last run.
// With "typed-busy" after RUNS it starts Firefox ESR (installed by hand) RUNS
// times on the page kept busy 4 s of every 4.1 s and types four short
// dictations into its input through the layered inserter after each start,
// another text on the clipboard before each, and reports per dictation the
// outcome, the times until the call returned and until the page named the
// text, whether the field got the text once and what the clipboard holds.
// The page reports its field through the window's name, read here straight
// from the X server every 2 ms while the insertion runs.
#include "BenchmarkSupport.h"
#include "BrowserPage.h"
#include "InsertionTexts.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <xcb/xcb.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// Xlib's macros clash with Qt's names: X11 headers come last.
#include "PageName.h"

using namespace vellamor;
using namespace std::chrono_literals;

namespace
{

struct Measured {
    std::vector<double> shown;
    std::vector<double> returned;
    int wrong = 0;
};

// A fresh inserter for every run: the keystrokes leave their keymap change
// to the next insertion, which would otherwise wait here for the reader of
// the previous run (seen through the page, it has read everything by then).
using MakeInserter = std::function<std::unique_ptr<AnyInserter>()>;

Measured measure(const MakeInserter& make, test::BrowserPage& page, Window window, const QString& text, int runs)
{
    benchmark::PageName name;
    Measured result;
    for (int run = 0; run < runs; ++run) {
        if (!page.focus(test::BrowserPage::Field::textarea)) {
            ++result.wrong;
            continue;
        }
        QElapsedTimer elapsed;
        std::optional<double> shownAfter;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!shownAfter && name.text(window) == test::BrowserPage::named(text) + page.titleSuffix())
                shownAfter = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        });
        const auto inserter = make();
        poll.start(2ms);
        elapsed.start();
        try {
            runBlocking(inserter->insert(text), 120s);
            result.returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        } catch (...) {
            ++result.wrong;
            continue;
        }
        if (benchmark::waitFor([&] { return shownAfter.has_value(); }, 10s))
            result.shown.push_back(*shownAfter);
        else
            ++result.wrong;
    }
    return result;
}

// `runs` dictation-like texts of Chinese and Latin, each starting with a
// Chinese character no key holds yet, typed by one inserter: how many
// arrived exactly.
int exactDictations(test::BrowserPage& page, Window window, KeystrokeInserter& keyboard, int runs)
{
    benchmark::PageName name;
    int exact = 0;
    for (int run = 0; run < runs; ++run) {
        const char32_t first = U'一' + static_cast<char32_t>(run * 53 % 20000);
        // The page's title drops trailing spaces.
        const QString text = QString::fromUcs4(&first, 1) + benchmark::mixedText(12 + run % 20).trimmed();
        if (!page.focus(test::BrowserPage::Field::textarea))
            continue;
        try {
            runBlocking(keyboard.insert(text), 120s);
        } catch (...) {
            continue;
        }
        if (benchmark::waitFor([&] { return name.text(window) == text; }, 5s))
            ++exact;
        else
            std::fprintf(stderr, "run %d: got \"%s\"\n", run, qPrintable(name.text(window).value_or(QString())));
    }
    return exact;
}

int readOnly(int runs)
{
    test::BrowserPage page(QStringLiteral(VELLAMOR_BROWSER_PAGE), test::BrowserPage::Accessibility::forced);
    if (!page.isStarted()) {
        std::fprintf(stderr, "chromium did not show the page\n");
        return 1;
    }
    const Window window = page.windowId().toULong();
    benchmark::PageName name;
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()),
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::X11SelectionBroker>(), [] { return true; },
        nullptr, nullptr);
    const QString earlier = QStringLiteral("earlier 文本");
    std::printf("%-13s %12s %-10s %12s %-10s %s\n", "characters", "UTF-16 units", "strategy", "returned ms",
        "clipboard", "field");
    for (const auto& [label, text] : { std::pair { "9,990 mixed", benchmark::mixedText(9'990) },
             std::pair { "9,999 Chinese", QString(9'999, u'文') } }) {
        for (int run = 0; run < runs; ++run) {
            if (!page.focus(test::BrowserPage::Field::readOnly))
                continue;
            QGuiApplication::clipboard()->setText(earlier);
            QElapsedTimer elapsed;
            elapsed.start();
            const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 60s);
            const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
            // A paste the field took would show within this.
            benchmark::pause(500ms);
            const QString held = QGuiApplication::clipboard()->text();
            const char* clipboard = held == text ? "the text" : held == earlier ? "earlier" : "other";
            std::printf("%-13s %12lld %-10s %12.1f %-10s %s\n", label, static_cast<long long>(text.size()),
                qPrintable(rawValue(strategy)), returned, clipboard,
                name.text(window) == test::BrowserPage::readOnlyText() ? "unchanged" : "changed");
            std::fflush(stdout);
        }
    }
    return 0;
}

int held(int runs, bool busy)
{
    QUrl address = QUrl::fromLocalFile(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    if (busy)
        address.setFragment(QStringLiteral("busy"));
    test::BrowserPage page(address, QStringLiteral("^\\["));
    if (!page.isStarted()) {
        std::fprintf(stderr, "chromium did not show the page\n");
        return 1;
    }
    const Window window = page.windowId().toULong();
    benchmark::PageName name;
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto pasteboard = std::make_shared<platform::X11SelectionBroker>();
    QElapsedTimer sinceChord;
    std::vector<qint64> changes;
    QObject::connect(
        QGuiApplication::clipboard(), &QClipboard::dataChanged, [&] { changes.push_back(sinceChord.elapsed()); });
    const QString sentence = QStringLiteral("我们明天上午十点在会议室讨论新版本的发布计划，please bring the slides. ");
    const auto sized = [&](qsizetype units) { return sentence.repeated(units / sentence.size() + 1).left(units); };
    std::vector<std::pair<const char*, QString>> texts;
    if (busy)
        texts = { { "20 mixed", sized(20) } };
    else
        texts = { { "50,000", sized(50'000) }, { "200,000", sized(200'000) }, { "2,000,000", sized(2'000'000) } };
    std::printf("%-10s %5s %5s %8s %6s %6s  %s\n", "text", "runs", "text", "earlier", "empty", "other",
        "outcomes; clipboard's changes of owner in the last run (ms)");
    for (const auto& [label, text] : texts) {
        int got = 0, earlier = 0, empty = 0, other = 0;
        std::map<QString, int> outcomes;
        for (int run = 0; run < runs; ++run) {
            if (!page.focus(test::BrowserPage::Field::textarea)) {
                ++other;
                continue;
            }
            const QString before = QStringLiteral("earlier %1").arg(run);
            QGuiApplication::clipboard()->setText(before);
            ClipboardInserter paste(pasteboard, injector, nullptr);
            changes.clear();
            sinceChord.start();
            QString outcome = QStringLiteral("ok");
            try {
                runBlocking(paste.insert(text), 120s);
            } catch (const Error& error) {
                outcome = error.debugDescription();
            }
            ++outcomes[outcome];
            // A paste a busy page takes late shows within its next free moment.
            QString shown;
            benchmark::waitFor(
                [&] {
                    shown = name.text(window).value_or(QString());
                    return !shown.isEmpty();
                },
                busy ? 4s : 30s);
            if (shown == test::BrowserPage::named(text))
                ++got;
            else if (shown == before)
                ++earlier;
            else if (shown.isEmpty())
                ++empty;
            else
                ++other;
        }
        QStringList line;
        for (const auto& [outcome, count] : outcomes)
            line << outcome + QStringLiteral(" ") + QString::number(count);
        QStringList changed;
        for (const qint64 t : changes)
            changed << QString::number(t);
        std::printf("%-10s %5d %5d %8d %6d %6d  %s; %s\n", label, runs, got, earlier, empty, other,
            qPrintable(line.join(u',')), qPrintable(changed.join(u' ')));
        std::fflush(stdout);
    }
    return 0;
}

int typedIntoABusyPage(int starts)
{
    QUrl address = QUrl::fromLocalFile(QStringLiteral(VELLAMOR_BROWSER_PAGE));
    address.setFragment(QStringLiteral("busy4"));
    const LayeredInserter chain = SystemLayeredInserter::make(
        std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid()),
        std::make_shared<platform::XTestKeyInjector>(), std::make_shared<platform::X11SelectionBroker>(), [] { return true; },
        nullptr, nullptr);
    benchmark::PageName name;
    const QString earlier = QStringLiteral("earlier 文本");
    std::printf("%5s %4s %-10s %12s %9s %-6s %s\n", "start", "text", "strategy", "returned ms", "shown ms", "field",
        "clipboard");
    for (int start = 1; start <= starts; ++start) {
        test::BrowserPage page(address, QStringLiteral("^\\["), test::BrowserPage::Accessibility::unknown,
            test::BrowserPage::Browser::firefox);
        if (!page.isStarted()) {
            std::fprintf(stderr, "firefox did not show the page\n");
            return 1;
        }
        const Window window = page.windowId().toULong();
        for (int run = 1; run <= 4; ++run) {
            if (!page.focus(test::BrowserPage::Field::input))
                continue;
            // The page took the focus key in its free moment: the keys come
            // 0.3 to 3.9 s into its next busy stretch.
            benchmark::pause(std::chrono::milliseconds(300 + 1'200 * (run - 1)));
            const QString text = QStringLiteral("第%1句 ok").arg(start * 10 + run);
            QGuiApplication::clipboard()->setText(earlier);
            QElapsedTimer elapsed;
            elapsed.start();
            const InsertStrategy strategy = runBlocking(chain.insertLayered(text), 120s);
            const double returned = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
            const QString once = text + page.titleSuffix();
            benchmark::waitFor([&] { return name.text(window) == once; }, 10s);
            const double shownAfter = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
            const QString shown = name.text(window).value_or(QString());
            const char* field = shown == once ? "once" : shown == text + text + page.titleSuffix() ? "twice" : "other";
            const QString held = QGuiApplication::clipboard()->text();
            const char* clipboard = held == text ? "the text" : held == earlier ? "earlier" : "other";
            std::printf("%5d %4d %-10s %12.1f %9.1f %-6s %s\n", start, run, qPrintable(rawValue(strategy)), returned,
                shownAfter, field, clipboard);
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = std::max(1, app.arguments().value(1, QStringLiteral("5")).toInt());
    if (app.arguments().value(2) == QStringLiteral("read-only"))
        return readOnly(runs);
    if (app.arguments().value(2) == QStringLiteral("typed-busy"))
        return typedIntoABusyPage(runs);
    if (app.arguments().value(2) == QStringLiteral("held"))
        return held(runs, app.arguments().value(3) == QStringLiteral("busy"));
    const bool firefox = app.arguments().value(2) == QStringLiteral("firefox");
    test::BrowserPage page(QUrl::fromLocalFile(QStringLiteral(VELLAMOR_BROWSER_PAGE)), QStringLiteral("^\\["),
        test::BrowserPage::Accessibility::unknown,
        firefox ? test::BrowserPage::Browser::firefox : test::BrowserPage::Browser::chromium);
    if (!page.isStarted()) {
        std::fprintf(stderr, "the browser did not show the page\n");
        return 1;
    }
    const Window window = page.windowId().toULong();
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto pasteboard = std::make_shared<platform::X11SelectionBroker>();
    if (app.arguments().value(2) == QStringLiteral("dictations")) {
        // The fixed settle alone against waiting for the browser's answer.
        KeystrokeInserter::Pacing settleOnly;
        settleOnly.mappingAnswerLimit = 0ms;
        for (const auto& [name, pacing] :
            { std::pair { "20 ms settle", settleOnly }, std::pair { "answer", KeystrokeInserter::Pacing {} } }) {
            KeystrokeInserter keyboard(injector, nullptr, eventLoopSleep(), pacing);
            std::printf("%-13s %d of %d exact\n", name, exactDictations(page, window, keyboard, runs), runs);
            std::fflush(stdout);
        }
        return 0;
    }
    const std::pair<const char*, MakeInserter> layers[] = {
        { "keystrokes", [&] { return std::make_unique<KeystrokeInserter>(injector, nullptr); } },
        { "clipboard", [&] { return std::make_unique<ClipboardInserter>(pasteboard, injector, nullptr); } },
    };
    const std::pair<const char*, QString> texts[]
        = { { "20 Chinese", benchmark::mixedText(20) }, { "500 mixed", benchmark::mixedText(500) } };

    std::printf("%-11s %-11s %5s %10s %12s %6s\n", "layer", "text", "runs", "shown ms", "returned ms", "wrong");
    for (const auto& [layerName, layer] : layers) {
        for (const auto& [textName, text] : texts) {
            const Measured m = measure(layer, page, window, text, runs);
            std::printf("%-11s %-11s %5d %10.1f %12.1f %6d\n", layerName, textName, runs,
                benchmark::percentile(m.shown, 0.5), benchmark::percentile(m.returned, 0.5), m.wrong);
            std::fflush(stdout);
        }
    }
    // Typed, it would take minutes.
    const Measured pasted = measure(layers[1].second, page, window, benchmark::mixedText(50'000), runs);
    std::printf("%-11s %-11s %5d %10.1f %12.1f %6d\n", "clipboard", "50k mixed", runs,
        benchmark::percentile(pasted.shown, 0.5), benchmark::percentile(pasted.returned, 0.5), pasted.wrong);
    return 0;
}
