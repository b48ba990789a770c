// The windows under real amounts of data, timed in this process with a probe
// that measures how long the main thread goes without answering:
//   - the dictionary window listing 5,000 entries, then search keystrokes
//     and clearing the search;
//   - the dictionary window opened and reopened (a fresh window each time, as
//     after its release) over a client that holds the list in memory (the
//     floor), then over the data-sync client whose server answers at once,
//     first with no local cache and then with the one it left, each with the
//     heap the open window holds (and its peak while opening) and the growth
//     of the resident set;
//   - the log viewer refreshing a log whose tail holds a 400,000-character line;
//   - the settings window opened from a saved frame at (-1994, -2439), 32767 × 32767.
// Run it inside scripts/desktop-session (the X server paints, as for a user).
// Usage: vellamor-bench-windows [entries]
#include "BenchmarkSupport.h"
#include "FakeDataSyncAPI.h"
#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"

#include "Auth/AuthSessionObserver.h"
#include "DataSync/DataSyncAPI.h"
#include "Diagnostics/LogViewerView.h"
#include "HistoryWindows/DictionaryWindowController.h"
#include "I18n/LocaleResolver.h"
#include "SettingsWindow/SettingsWindowController.h"
#include "SettingsWindow/ThemeManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <malloc.h>

using namespace vellamor;
using namespace std::chrono_literals;

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

void dictionary(int count)
{
    auto api = std::make_shared<test::FakeDataSyncAPI>();
    for (int id = 1; id <= count; ++id) {
        api->dictionary.append(DictEntry{id, QStringLiteral("词条%1 term").arg(id), id % 2 ? QStringLiteral("ci tiao") : QString(),
                                         id % 3 ? QString() : QStringLiteral("备注 %1").arg(id), Date(), Date()});
    }
    WindowServices services;
    services.dataSync = [api] { return api; };
    DictionaryWindowController controller({services, std::make_shared<AuthSessionObserver>(), sleepFor, {}});
    benchmark::StallProbe probe;
    const long before = residentKiB();
    probe.start();
    QElapsedTimer timer;
    timer.start();
    controller.show();
    benchmark::waitFor([&] {
        return controller.window()->content() == DictionaryView::Content::list
            && controller.viewModel()->filtered().size() == count;
    }, 600s);
    controller.window()->repaint();
    const double listed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double stall = probe.longestMillis();
    std::printf("dictionary %d entries: listed and painted in %.0f ms, longest stall %.0f ms, memory +%ld KiB\n",
                count, listed, stall, residentKiB() - before);

    QLineEdit& search = controller.window()->searchField();
    const auto keystroke = [&](const char* label, const std::function<void()>& type, int expected) {
        probe.start();
        QElapsedTimer timer;
        timer.start();
        type();
        benchmark::waitFor([&] { return controller.window()->content() != DictionaryView::Content::list
                                     || controller.viewModel()->filtered().size() == expected; }, 600s);
        QCoreApplication::processEvents();
        controller.window()->repaint();
        const double answered = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("dictionary %s: answered in %.1f ms, longest stall %.1f ms\n", label, answered,
                    probe.longestMillis());
    };
    keystroke("search keystroke \"7\"", [&] { search.insert(QStringLiteral("7")); },
              static_cast<int>(DictionaryViewModel::filter(api->dictionary, QStringLiteral("7")).size()));
    keystroke("second keystroke \"77\"", [&] { search.insert(QStringLiteral("7")); },
              static_cast<int>(DictionaryViewModel::filter(api->dictionary, QStringLiteral("77")).size()));
    keystroke("clearing the search", [&] { search.clear(); }, count);
}

// Bytes the allocator hands out, in KiB: what an open window holds, whatever
// the opens before it left free in the heap.
long heapInUseKiB()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

// Opens a fresh dictionary window over `services` and times it until all
// `count` entries are listed and painted, then until its reload has ended;
// with the memory the open window holds and its peak on the way.
void timeOpen(const char* label, const WindowServices& services, int count)
{
    const long heapBefore = heapInUseKiB();
    const long residentBefore = residentKiB();
    long heapPeak = 0;
    DictionaryWindowController controller({services, std::make_shared<AuthSessionObserver>(), sleepFor, {}});
    benchmark::StallProbe probe;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { heapPeak = std::max(heapPeak, heapInUseKiB() - heapBefore); });
    sampler.start(1);
    probe.start();
    QElapsedTimer timer;
    timer.start();
    controller.show();
    benchmark::waitFor([&] {
        return controller.window()->content() == DictionaryView::Content::list
            && controller.viewModel()->filtered().size() == count;
    }, 600s);
    controller.window()->repaint();
    const double listed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    benchmark::waitFor([&] { return !controller.viewModel()->isLoading.value(); }, 600s);
    QCoreApplication::processEvents();
    controller.window()->repaint();
    const double settled = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long heldHeap = heapInUseKiB() - heapBefore;
    std::printf("dictionary %d entries, %s: listed and painted in %.0f ms, settled in %.0f ms, longest stall %.0f ms, "
                "heap held %+ld KiB (peak %+ld), resident %+ld KiB\n",
                count, label, listed, settled, probe.longestMillis(), heldHeap, std::max(heapPeak, heldHeap),
                residentKiB() - residentBefore);
}

void dictionaryOpens(int count, const QString& folder)
{
    auto fake = std::make_shared<test::FakeDataSyncAPI>();
    QByteArray entries;
    for (int id = 1; id <= count; ++id) {
        const QString term = QStringLiteral("词条%1 term").arg(id);
        const QString replacement = id % 2 ? QStringLiteral("ci tiao") : QString();
        const QString note = id % 3 ? QString() : QStringLiteral("备注 %1").arg(id);
        fake->dictionary.append(DictEntry{id, term, replacement, note, Date(), Date()});
        // Times as the server writes them, in microseconds.
        entries += (id > 1 ? "," : "")
                   + QStringLiteral(R"({"id":%1,"term":"%2","phonetic":"%3","note":"%4",)"
                                    R"("created_at":"2026-03-01T08:15:42.123456Z","updated_at":"2026-03-02T09:00:01.654321Z"})")
                         .arg(id)
                         .arg(term, replacement, note)
                         .toUtf8();
    }
    WindowServices floor;
    floor.dataSync = [fake] { return fake; };
    timeOpen("floor, first open", floor, count);
    timeOpen("floor, reopened", floor, count);

    const QByteArray body = R"({"code":0,"msg":"ok","data":{"entries":[)" + entries + "]}}";
    auto session = std::make_shared<test::ScriptedHTTPSession>();
    WindowServices client;
    client.dataSync = [session, folder]() -> std::shared_ptr<DataSyncAPIProtocol> {
        auto token = []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("tok"); };
        return std::make_shared<DataSyncAPI>(QUrl(QStringLiteral("http://127.0.0.1:9/")), session, token,
                                             std::make_shared<test::RecordingUnauthorizedHandler>(), folder);
    };
    session->respond(200, body);
    timeOpen("data-sync client, no cache", client, count);
    session->respond(200, body);
    timeOpen("data-sync client, reopened on its cache", client, count);
}

void logViewer(const QString& folder)
{
    const QString path = folder + QStringLiteral("/vellamor.log");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    for (int line = 0; line < 200; ++line)
        file.write("2026-03-01T08:15:30.000Z INFO  [dictation] dictation finished in 812 ms\n");
    file.write("2026-03-01T08:15:31.000Z INFO  [asr] final text: " + QByteArray(400'000, 'x') + "\n");
    file.write("2026-03-01T08:15:32.000Z INFO  [boot] ok\n");
    file.close();

    LogViewerView view(std::make_unique<LogViewerModel>(path, nullptr, nullptr));
    view.resize(640, 420);
    view.show();
    benchmark::waitFor([&] { return !view.model().isLoading.value(); }, 600s);
    QCoreApplication::processEvents();
    for (int run = 0; run < 3; ++run) {
        benchmark::StallProbe probe;
        probe.start();
        QElapsedTimer timer;
        timer.start();
        view.refreshButton()->click();
        benchmark::waitFor([&] { return !view.model().isLoading.value(); }, 600s);
        QCoreApplication::processEvents();
        view.repaint();
        const double refreshed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("log viewer, 400,000-character line at the tail: refreshed in %.0f ms, longest stall %.0f ms\n",
                    refreshed, probe.longestMillis());
    }
}

void settingsWindow(const QString& folder)
{
    auto defaults = std::make_shared<UserDefaults>(folder + QStringLiteral("/vellamor.ini"));
    QWidget earlier;
    earlier.setGeometry(-1994, -2439, 32767, 32767);
    defaults->setData(SettingsWindow::frameKey(), earlier.saveGeometry());
    auto store = std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey());
    ThemeManager theme(defaults, nullptr);
    LocaleResolver locale;
    SettingsWindowController controller({store, theme, locale, WindowServices{}, defaults, sleepFor, {}, {}, {}});
    benchmark::StallProbe probe;
    const long before = residentKiB();
    probe.start();
    QElapsedTimer timer;
    timer.start();
    controller.show(std::nullopt);
    benchmark::waitFor([&] { return controller.window()->isVisible(); }, 60s);
    benchmark::pause(200ms);
    controller.window()->repaint();
    const double shown = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const QRect frame = controller.window()->frameGeometry();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    std::printf("settings window from an absurd saved frame: shown in %.0f ms, longest stall %.0f ms, memory +%ld KiB, "
                "frame %d,%d %dx%d (%s the screen)\n",
                shown, probe.longestMillis(), residentKiB() - before, frame.x(), frame.y(), frame.width(),
                frame.height(), screen.contains(frame) ? "on" : "off");
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5000;
    QTemporaryDir folder;
    dictionary(entries);
    dictionaryOpens(entries, folder.path());
    logViewer(folder.path());
    settingsWindow(folder.path());
    return 0;
}
