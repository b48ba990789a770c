// Time from insert() to completion for each insertion layer, into a Qt text
// field of another process, for a 20-character and a 500-character text of
// Latin, Chinese and emoji. Prints p50 and p95 in milliseconds and how many
// runs did not leave exactly the expected text. Needs the headless desktop:
//   scripts/desktop-session build/Benchmarks/vellamor-bench-text-insertion
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "Support/Async/RunBlocking.h"
#include "Support/TextGraphemes.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace vellamor;

namespace {

// Drives the test target program (see Tests/Vellamor/TextInsertion/Targets).
class Target {
public:
    explicit Target(const QString& program)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process_.setProcessEnvironment(environment);
        process_.start(program, {QStringLiteral("line")});
        const auto ready = line();
        if (ready && ready->startsWith(QLatin1String("ready ")))
            windowId_ = ready->mid(6);
    }

    ~Target()
    {
        process_.write("quit\n");
        process_.waitForFinished(3000);
    }

    bool isReady() const { return !windowId_.isEmpty(); }

    bool activate()
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId_});
        xdotool.waitForFinished(10000);
        for (int i = 0; i < 500; ++i) {
            const auto s = state();
            if (s && s->startsWith(QLatin1String("state 1 1")))
                return true;
            pause(10);
        }
        return false;
    }

    bool clear() { return command(QStringLiteral("set ")) == QStringLiteral("ok"); }

    std::optional<QString> text()
    {
        const auto s = state();
        if (!s)
            return std::nullopt;
        return QString::fromUtf8(QByteArray::fromHex(s->section(QLatin1Char(' '), 3, 3).toLatin1()));
    }

    // The event loop keeps running: this process may own the clipboard.
    static void pause(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    std::optional<QString> state() { return command(QStringLiteral("state")); }

    std::optional<QString> command(const QString& text)
    {
        process_.write(text.toUtf8() + '\n');
        return line();
    }

    std::optional<QString> line()
    {
        QDeadlineTimer deadline(10000);
        while (!buffer_.contains('\n') && !deadline.hasExpired()) {
            process_.waitForReadyRead(100);
            buffer_ += process_.readAllStandardOutput();
        }
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0)
            return std::nullopt;
        const QString result = QString::fromUtf8(buffer_.left(end));
        buffer_.remove(0, end + 1);
        return result;
    }

    QProcess process_;
    QByteArray buffer_;
    QString windowId_;
};

QString textOf(qsizetype characters)
{
    const QString sentence = QStringLiteral("我们明天上午十点在会议室讨论新版本的发布计划，"
                                            "please bring the slides 📊 and your notes. 谢谢大家🙏 ");
    QString text;
    while (graphemeCount(text) < characters)
        text += sentence;
    return graphemePrefix(text, characters);
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qint64 ownPid = QCoreApplication::applicationPid();
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto pasteboard = std::make_shared<platform::QtPasteboard>();

    Target target(QStringLiteral(VELLAMOR_QT_TEXT_TARGET));
    if (!target.isReady() || !target.activate()) {
        std::fprintf(stderr, "the target window did not come up (run inside scripts/desktop-session)\n");
        return 1;
    }

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
    const std::pair<int, int> sizes[] = {{20, 21}, {500, 7}};

    std::printf("%-14s %6s %5s %10s %10s %9s\n", "layer", "chars", "runs", "p50 ms", "p95 ms", "wrong");
    for (const auto& layer : layers) {
        for (const auto& [characters, runs] : sizes) {
            const QString text = textOf(characters);
            std::vector<double> times;
            int wrong = 0;
            for (int run = 0; run < runs; ++run) {
                target.clear();
                Target::pause(50);
                QElapsedTimer elapsed;
                elapsed.start();
                try {
                    runBlocking(layer.inserter->insert(text), std::chrono::seconds(60));
                } catch (...) {
                    ++wrong;
                    continue;
                }
                times.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
                std::optional<QString> seen;
                for (int i = 0; i < 200 && seen != text; ++i) {
                    seen = target.text();
                    if (seen != text)
                        Target::pause(10);
                }
                if (seen != text)
                    ++wrong;
            }
            if (times.empty()) {
                std::printf("%-14s %6d %5d %10s %10s %9d\n", layer.name, characters, runs, "-", "-", wrong);
                continue;
            }
            std::printf("%-14s %6d %5d %10.1f %10.1f %9d\n", layer.name, characters, runs, percentile(times, 0.5),
                        percentile(times, 0.95), wrong);
            std::fflush(stdout);
        }
    }
    return 0;
}
