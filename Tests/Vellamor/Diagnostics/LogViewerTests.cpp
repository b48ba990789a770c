#include "FakePasteboard.h"
#include "FakeWorkspace.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"
#include "WaitUntil.h"

#include "Diagnostics/LogViewerView.h"
#include "RenderForReview.h"
#include "Logging/LogReader.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThreadPool>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

QString writeLog(const QString& name, const QByteArray& bytes)
{
    const QString path = testHome() + u'/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

class LogViewerTest : public ::testing::Test {
protected:
    std::unique_ptr<LogViewerModel> model(std::optional<QString> logFile)
    {
        return std::make_unique<LogViewerModel>(std::move(logFile), pasteboard, workspace);
    }

    // The read runs on a worker; its result comes back on a later turn.
    static void loaded(LogViewerView& view)
    {
        EXPECT_TRUE(waitUntil([&] { return !view.model().isLoading.value(); }));
    }

    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};

// Over 512 KiB of three-byte characters: the read window starts inside a
// character, and the view still shows whole lines.
TEST_F(LogViewerTest, LargeChineseLogShowsTheChosenNumberOfWholeLines)
{
    QByteArray bytes;
    for (int line = 0; line < 6000; ++line)
        bytes += QStringLiteral("2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 %1 行，内容为中文文本\n")
                     .arg(line)
                     .toUtf8();
    ASSERT_GT(bytes.size(), LogReader::maxTailBytes);
    const QString path = writeLog(QStringLiteral("large.log"), bytes);

    LogViewerView view(model(path));
    LogViewerModel& logs = view.model();
    QStringList statuses;
    const Subscription statusWatch = logs.status.subscribe([&](const QString& s) { statuses << s; });

    view.resize(640, 420);
    view.linesBox()->setValue(2000);
    EXPECT_EQ(statuses, QStringList { QStringLiteral("未加载") }) << "changing the count does not reload";
    view.show();
    loaded(view);

    EXPECT_EQ(statuses,
        (QStringList { QStringLiteral("未加载"), QStringLiteral("加载中..."), path + QStringLiteral(" · 2000 行") }));
    const QStringList lines = logs.content.value().split(u'\n');
    ASSERT_EQ(lines.size(), 2000);
    EXPECT_TRUE(
        lines.first().startsWith(QStringLiteral("2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 4000 行")));
    EXPECT_TRUE(
        lines.last().startsWith(QStringLiteral("2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 5999 行")));
    EXPECT_EQ(view.textArea()->toPlainText(), logs.content.value());
    renderForReview(view, QStringLiteral("log-viewer-large"));

    view.copyButton()->click();
    EXPECT_EQ(pasteboard->text(platform::PasteboardSelection::clipboard), logs.content.value());
}

TEST_F(LogViewerTest, NothingToShowReadsEmptyAndCopiesNothing)
{
    const struct {
        const char* name;
        std::optional<QString> logFile;
        QString status;
        bool revealable;
    } cases[] = {
        { "deleted file", testHome() + QStringLiteral("/deleted.log"),
            testHome() + QStringLiteral("/deleted.log · 0 行"), true },
        { "unknown location", std::nullopt, QStringLiteral("(未知) · 0 行"), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogViewerView view(model(c.logFile));
        view.show();
        loaded(view);
        EXPECT_EQ(view.statusLabel()->text(), c.status);
        EXPECT_EQ(view.textArea()->toPlainText(), QStringLiteral("（空）"));
        EXPECT_FALSE(view.copyButton()->isEnabled());
        EXPECT_EQ(view.revealButton()->isEnabled(), c.revealable);
        view.model().copy();
        EXPECT_TRUE(pasteboard->writes().empty());
    }
}

TEST_F(LogViewerTest, LinesAreCountedBetweenLineFeedsAndRefreshUsesTheStepperCount)
{
    const QString path = writeLog(QStringLiteral("one.log"), "only line");
    LogViewerView view(model(path));
    view.show();
    loaded(view);
    EXPECT_EQ(view.statusLabel()->text(), path + QStringLiteral(" · 1 行"));
    // A final line feed still counts the empty line after it.
    EXPECT_EQ(LogViewerModel::lineCount(QStringLiteral("a\n")), 2);
    EXPECT_EQ(LogViewerModel::lineCount(QStringLiteral("\n\n")), 3);

    writeLog(QStringLiteral("one.log"), QByteArray("x\n").repeated(700));
    view.refreshButton()->click();
    loaded(view);
    EXPECT_EQ(view.statusLabel()->text(), path + QStringLiteral(" · 500 行"));
    view.linesBox()->stepUp();
    view.refreshButton()->click();
    loaded(view);
    EXPECT_EQ(view.statusLabel()->text(), path + QStringLiteral(" · 600 行"));

    // By a hundred, never beyond 50…2000.
    const std::pair<int, int> moves[] = {{-2, 400}, {100, 2000}, {-100, 50}, {1, 150}};
    for (const auto& [steps, lines] : moves) {
        view.linesBox()->stepBy(steps);
        EXPECT_EQ(view.model().lines(), lines);
    }
    EXPECT_EQ(view.linesBox()->text(), QStringLiteral("行数 150"));
}

// A line written before parts were capped: read off the main thread, shown
// cut with the count of what was left out; a read that ends after its view
// is gone touches nothing.
TEST_F(LogViewerTest, AHugeLineIsCutAndReadingLeavesTheWindowAnswering)
{
    const QByteArray ascii(400'000, 'x');
    const QByteArray wide = QStringLiteral("字").repeated(2000).toUtf8(); // 6000 bytes; 4096 falls inside a character
    const QString path = writeLog(QStringLiteral("huge.log"), "first\n" + ascii + "\n" + wide + "\nlast\n");
    LogViewerView view(model(path));
    view.show();
    EXPECT_TRUE(view.model().isLoading.value()) << "shown before the file is read";
    loaded(view);
    const QStringList lines = view.model().content.value().split(u'\n');
    EXPECT_EQ(lines,
        (QStringList { QStringLiteral("first"), QString(4096, u'x') + QStringLiteral("…[395904 bytes left out]"),
            QStringLiteral("字").repeated(1365) + QStringLiteral("…[1905 bytes left out]"), QStringLiteral("last") }));

    auto closing = std::make_unique<LogViewerView>(model(path));
    closing->show();
    closing.reset();
    QThreadPool::globalInstance()->waitForDone();
    // The read has queued its answer; it runs and touches nothing.
    afterQueuedCalls();
}

TEST_F(LogViewerTest, RevealShowsTheFileOrFallsBackToItsFolder)
{
    const QString path = testHome() + QStringLiteral("/state/vellamor/vellamor.log");
    for (const bool fileManagerTakesIt : {true, false}) {
        SCOPED_TRACE(fileManagerTakesIt);
        workspace = std::make_shared<FakeWorkspace>();
        workspace->fileManagerTakesRequests = fileManagerTakesIt;
        LogViewerView view(model(path));
        view.revealButton()->click();
        EXPECT_EQ(workspace->shownFiles, QStringList{path});
        EXPECT_EQ(workspace->openedUrls,
            fileManagerTakesIt ? QList<QUrl> {}
                               : QList<QUrl> { QUrl::fromLocalFile(testHome() + QStringLiteral("/state/vellamor")) });
    }
}

} // namespace
} // namespace vellamor::test
