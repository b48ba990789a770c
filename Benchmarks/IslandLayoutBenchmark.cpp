// How long the finished island takes to show its texts, by their length:
// the model gets a recognised and a polished text of the given size, and the
// island lays itself out and paints once. Runs on any platform plugin
// (offscreen is fine). Usage: vellamor-bench-island-layout [runs]
#include "BenchmarkSupport.h"
#include "Overlay/IslandOverlayView.h"
#include "Overlay/OverlayViewModel.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

using namespace vellamor;

namespace {

// A dictation-like text of `units` UTF-16 units: sentences with punctuation.
QString textOfLength(qsizetype units)
{
    const QString sentence = QStringLiteral("今天的会议改到下午三点，请大家准时参加。");
    QString text;
    text.reserve(units);
    while (text.size() < units)
        text.append(sentence);
    text.truncate(units);
    return text;
}

// Milliseconds from handing the texts over to the painted island, median of `runs`.
double showMillis(qsizetype units, int runs)
{
    const QString text = textOfLength(units);
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        OverlayViewModel model;
        IslandOverlayView view(model);
        view.resize(380, 260);
        view.show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        model.state = DictationState::done();
        model.finalText = text;
        model.polishedText = text;
        view.resize(model.islandShape().panelSize().toSize());
        QCoreApplication::processEvents();
        view.grab();
        samples.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return benchmark::percentile(samples, 0.5);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    showMillis(1000, 1); // fonts and glyph caches
    const double small = showMillis(1000, runs);
    const double huge = showMillis(20 * 1000 * 1000, runs);
    std::printf("island shows 1 kB texts in %.2f ms, 20 MB texts in %.2f ms (median of %d): ratio %.2f\n", small,
                huge, runs, huge / small);
    return 0;
}
