// The account page's input-source card listing many sources, timed in this
// process: from the list's answer to the card laid out and painted in its
// scrolling page, the main thread's own CPU time over it (which other work on
// a loaded machine does not inflate), the longest time the main thread went
// without answering, the card's widgets, and scrolling the page to the last
// source.
// Any platform plugin will do; inside scripts/desktop-session the X server
// paints, as for a user.
// Usage: vellamor-bench-input-source-card [sources] [runs]
#include "BenchmarkSupport.h"
#include "FakeInputSourceAPI.h"

#include "Auth/AuthSessionObserver.h"
#include "InputSourceWindows/InputSourceCard.h"
#include "InputSourceWindows/InputSourceList.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdio>
#include <ctime>

using namespace vellamor;
using namespace std::chrono_literals;

namespace {

QList<InputSource> sources(int count, int run)
{
    QList<InputSource> listed;
    const Date bound(Date::now().secondsSince1970() - 86'400);
    for (qint64 id = 1; id <= count; ++id) {
        listed.append(InputSource{id, id % 5 ? QStringLiteral("web") : QStringLiteral("ime"),
                                  QStringLiteral("Chrome"), QStringLiteral("手机 %1-%2").arg(run).arg(id),
                                  id % 7 ? QStringLiteral("active") : QStringLiteral("pending"), bound,
                                  id % 2 ? std::optional<Date>(bound) : std::nullopt});
    }
    return listed;
}

double mainThreadCpuMillis()
{
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return double(used.tv_sec) * 1e3 + double(used.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10'000;
    const int runs = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 5;

    auto api = std::make_shared<test::FakeInputSourceAPI>();
    QScrollArea page;
    page.setWidgetResizable(true);
    auto* card = new InputSourceCard([api] { return api; }, std::make_shared<AuthSessionObserver>(), {});
    page.setWidget(card);
    page.resize(560, 640);
    page.show();
    benchmark::waitFor([&] { return page.isVisible(); }, 10s);
    InputSourceList& list = *card->findChild<InputSourceList*>();

    std::vector<double> shown;
    std::vector<double> cpu;
    std::vector<double> stalls;
    for (int run = 0; run < runs; ++run) {
        card->viewModel().reload(true);
        benchmark::waitFor([&] { return api->lists.calls.size() == run + 1; }, 10s);
        const QList<InputSource> listed = sources(count, run);
        benchmark::StallProbe probe;
        probe.start();
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = mainThreadCpuMillis();
        api->lists.answer(run, listed);
        benchmark::waitFor([&] {
            return !list.sources().isEmpty() && list.sources().constFirst().friendlyName == listed.constFirst().friendlyName
                && list.height() == list.sizeHint().height();
        }, 600s);
        page.repaint();
        shown.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(mainThreadCpuMillis() - cpuBefore);
        stalls.push_back(probe.longestMillis());
    }
    std::printf("input-source card, %d sources, %d runs: shown and painted in %.1f ms median (%.1f ms worst), "
                "main-thread CPU %.1f ms median (%.1f ms worst), longest stall %.1f ms median (%.1f ms worst), "
                "%lld widgets in the card\n",
                count, runs, benchmark::percentile(shown, 0.5), benchmark::percentile(shown, 1.0),
                benchmark::percentile(cpu, 0.5), benchmark::percentile(cpu, 1.0), benchmark::percentile(stalls, 0.5),
                benchmark::percentile(stalls, 1.0),
                static_cast<long long>(card->findChildren<QWidget*>().size()));

    QElapsedTimer timer;
    timer.start();
    page.verticalScrollBar()->setValue(page.verticalScrollBar()->maximum());
    page.repaint();
    std::printf("scrolled to source %d and painted in %.1f ms\n", count, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    api->failWaiting();
    QCoreApplication::processEvents();
    return 0;
}
