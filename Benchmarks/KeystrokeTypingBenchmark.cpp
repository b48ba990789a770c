// The keystroke layer against `xdotool type` of the same texts (20 Chinese
// characters, three lines with emoji, a 389-character dictation of many
// distinct characters) into a Qt text edit of the tests' Qt target, or into
// the editor PROGRAM shows: the median time from the start of the insertion
// until it returned and until the field holds the text (0 when no run did),
// the runs that left anything else, and how many of the pings the layer sent
// after its keymap changes were answered. The field is read over the
// accessibility bus once the insertion returned (by Ctrl+A, Ctrl+C where the
// bus shows none), and emptied with Ctrl+A, BackSpace between runs. Needs the
// headless desktop:
//   scripts/desktop-session build/Benchmarks/vellamor-bench-keystrokes [RUNS [PROGRAM ARGS...]]
#include "BenchmarkSupport.h"
#include "InsertionTexts.h"
#include "PingCountingKeyInjector.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace vellamor;
using namespace std::chrono_literals;

namespace
{

using benchmark::pause;
using benchmark::percentile;
using benchmark::waitFor;

// Runs a command to its end with the event loop running; whether it succeeded.
bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 120s)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// An editor of another process, found by its focused editable element.
class Editor
{
public:
    Editor(const QString& program, const QStringList& arguments)
        : bus_(QCoreApplication::applicationPid())
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process_.setProcessEnvironment(environment);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, arguments);
    }

    ~Editor()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }

    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Activates the program's window; then its focused field is the editor.
    bool focus()
    {
        QByteArray found;
        if (!process_.waitForStarted(10000)
            || !run(QStringLiteral("xdotool"),
                { QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(process_.processId()) },
                &found))
            return false;
        const QString window = QString::fromLatin1(found.trimmed().split('\n').last());
        if (!run(QStringLiteral("xdotool"), { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window }))
            return false;
        // FocusWriter's focused element shows no text on the bus.
        if (!waitFor(
                [&] {
                    field_ = runBlocking(bus_.focusedElement());
                    return field_ && runBlocking(bus_.isEditableText(field_))
                        && bus_.processId(*field_) == process_.processId();
                },
                10s))
            field_.reset();
        return true;
    }

    // Read over the bus, else from what the editor copies (slower).
    std::optional<QString> text()
    {
        if (field_)
            return runBlocking(bus_.text(field_));
        QByteArray copied;
        if (!run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c") })
            || !run(QStringLiteral("xclip"),
                { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                    QStringLiteral("UTF8_STRING") },
                &copied))
            return std::nullopt;
        return QString::fromUtf8(copied);
    }

    // A copied empty selection leaves the clipboard as it was: that case
    // takes the keys at their word.
    bool clear()
    {
        return run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace") })
            && (!field_ || waitFor([&] { return text() == QString(); }, 5s));
    }

private:
    platform::AtspiAccessibilityBus bus_;
    QProcess process_;
    std::shared_ptr<platform::AccessibleElement> field_;
};

// A long dictation: 389 characters, mostly Chinese, 261 distinct ones, so
// the spare keys are mapped again and again.
QString dictation()
{
    return QStringLiteral(
        "今天下午我们和产品团队一起回顾了上个季度的用户反馈，发现大家最关心的还是输入速度和准确率。"
        "有几位老师提到，在课堂上用语音记录板书内容时，偶尔会出现标点错误或者专有名词识别不准的情况。"
        "工程师建议先把常见术语加入词典，再针对长句做分段处理，这样既能减少延迟，也能提高整体体验。"
        "另外，测试组在旧电脑上跑了一整天，内存占用基本稳定，只是在切换窗口时偶尔会卡顿半秒左右。"
        "市场部希望下个月发布新版本之前，能准备好中英文两套说明文档、演示视频和常见问题解答📄🎬。"
        "财务同事也提醒我们注意服务器费用，尤其是高峰时段的并发连接数，必要时可以考虑分地区部署。"
        "最后，大家一致同意每周五下午开一次简短的同步会议，及时交流进展、风险以及需要协调的资源👍"
        "如果有其他想法，请直接在群里留言，或者写邮件给项目负责人，我们会在周一之前统一整理答复。"
        "备注：会议纪要已经上传到共享文件夹，欢迎随时查阅并补充遗漏的细节。");
}

struct Measured {
    std::vector<double> returned;
    std::vector<double> shown;
    int wrong = 0;
};

// `insert` types the text and returns whether it could.
Measured measure(Editor& editor, const QString& text, int runs, const std::function<bool(const QString&)>& insert)
{
    Measured result;
    for (int i = 0; i < runs; ++i) {
        if (!editor.clear()) {
            ++result.wrong;
            continue;
        }
        pause(100ms);
        QElapsedTimer elapsed;
        elapsed.start();
        if (!insert(text)) {
            ++result.wrong;
            continue;
        }
        result.returned.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        if (!waitFor([&] { return editor.text() == text; }, 10s)) {
            ++result.wrong;
            continue;
        }
        result.shown.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
    }
    return result;
}

void print(const char* how, const char* name, int runs, const Measured& m, const QString& pings)
{
    std::printf("%-11s %-12s %5d %12.1f %10.1f %6d %8s\n", how, name, runs, percentile(m.returned, 0.5),
        percentile(m.shown, 0.5), m.wrong, qPrintable(pings));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int runs = std::max(1, arguments.value(1, QStringLiteral("3")).toInt());
    const bool ownTarget = arguments.size() < 3;
    Editor editor(ownTarget ? QStringLiteral(VELLAMOR_QT_TEXT_TARGET) : arguments.at(2),
        ownTarget ? QStringList { QStringLiteral("QtTextEdit") } : arguments.mid(3));
    if (!editor.focus()) {
        std::fprintf(stderr, "the editor's field did not get the focus\n");
        return 1;
    }
    const std::pair<const char*, QString> texts[] = {
        { "20 Chinese", benchmark::mixedText(20) },
        { "3 lines", QStringLiteral("第一行：今天讨论发布计划 🎉\n第二行：这个功能非常重要 😀\n第三行：尽快完成测试 OK") },
        { "389 dictated", dictation() },
    };
    std::printf("%-11s %-12s %5s %12s %10s %6s %8s\n", "how", "text", "runs", "returned ms", "shown ms", "wrong",
        "answered");
    for (const auto& [name, text] : texts) {
        {
            auto injector = std::make_shared<test::PingCountingKeyInjector>(
                std::make_shared<platform::XTestKeyInjector>());
            const Measured m = measure(editor, text, runs, [&](const QString& t) {
                // A fresh inserter maps every character again, as a dictation
                // of other characters would.
                KeystrokeInserter keyboard(injector, nullptr);
                try {
                    runBlocking(keyboard.insert(t), 120s);
                    return true;
                } catch (...) {
                    return false;
                }
            });
            print("keystrokes", name, runs, m,
                QStringLiteral("%1/%2").arg(injector->pingsAnswered()).arg(injector->pingsSent()));
        }
        const Measured m = measure(editor, text, runs, [](const QString& t) {
            return run(QStringLiteral("xdotool"), { QStringLiteral("type"), QStringLiteral("--"), t });
        });
        print("xdotool", name, runs, m, QStringLiteral("-"));
    }
    return 0;
}
