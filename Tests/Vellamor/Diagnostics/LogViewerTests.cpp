#include "FakePasteboard.h"
#include "FakeWorkspace.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include "Diagnostics/LogViewerView.h"
#include "RenderForReview.h"
#include "Logging/LogReader.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using platform::PasteboardSelection;

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

    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};

TEST_F(LogViewerTest, LineCountCountsPiecesBetweenLineFeeds)
{
    const std::pair<QString, int> cases[] = {{{}, 0}, {u"一"_s, 1}, {u"a\nb"_s, 2}, {u"a\n"_s, 2}, {u"\n\n"_s, 3}};
    for (const auto& [text, count] : cases)
        EXPECT_EQ(LogViewerModel::lineCount(text), count) << text.toStdString();
}

// Over 512 KiB of three-byte characters: the read window starts inside a
// character, and the view still shows whole lines.
TEST_F(LogViewerTest, LargeChineseLogShowsTheChosenNumberOfWholeLines)
{
    QByteArray bytes;
    for (int line = 0; line < 6000; ++line)
        bytes += u"2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 %1 行，内容为中文文本\n"_s.arg(line).toUtf8();
    ASSERT_GT(bytes.size(), LogReader::maxTailBytes);
    const QString path = writeLog(u"large.log"_s, bytes);

    LogViewerView view(model(path));
    LogViewerModel& logs = view.model();
    QStringList statuses;
    std::vector<bool> loading;
    const Subscription statusWatch = logs.status.subscribe([&](const QString& s) { statuses << s; });
    const Subscription loadingWatch = logs.isLoading.subscribe([&](bool busy) { loading.push_back(busy); });

    view.resize(640, 420);
    view.linesBox()->setValue(2000);
    EXPECT_EQ(statuses, QStringList{u"未加载"_s}) << "changing the count does not reload";
    view.show();

    EXPECT_EQ(statuses, (QStringList{u"未加载"_s, u"加载中..."_s, path + u" · 2000 行"_s}));
    EXPECT_EQ(loading, (std::vector<bool>{false, true, false}));
    const QStringList lines = logs.content.value().split(u'\n');
    ASSERT_EQ(lines.size(), 2000);
    EXPECT_TRUE(lines.first().startsWith(u"2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 4000 行"_s));
    EXPECT_TRUE(lines.last().startsWith(u"2026-03-01T08:15:30.000Z INFO  [dictation] 识别完成：第 5999 行"_s));
    EXPECT_EQ(view.textArea()->toPlainText(), logs.content.value());
    EXPECT_EQ(view.statusLabel()->text(), path + u" · 2000 行"_s);
    renderForReview(view, u"log-viewer-large"_s);

    view.copyButton()->click();
    EXPECT_EQ(pasteboard->text(PasteboardSelection::clipboard), logs.content.value());
}

TEST_F(LogViewerTest, NothingToShowReadsEmptyAndCopiesNothing)
{
    const struct {
        const char* name;
        std::optional<QString> logFile;
        QString status;
        bool revealable;
    } cases[] = {
        {"deleted file", testHome() + u"/deleted.log"_s, testHome() + u"/deleted.log · 0 行"_s, true},
        {"unknown location", std::nullopt, u"(未知) · 0 行"_s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogViewerView view(model(c.logFile));
        view.show();
        EXPECT_EQ(view.statusLabel()->text(), c.status);
        EXPECT_EQ(view.textArea()->toPlainText(), u"（空）"_s);
        EXPECT_FALSE(view.copyButton()->isEnabled());
        EXPECT_EQ(view.revealButton()->isEnabled(), c.revealable);
        view.model().copy();
        EXPECT_TRUE(pasteboard->writes().empty());
    }
}

TEST_F(LogViewerTest, OneLineWithoutNewlineCountsOneAndRefreshUsesTheNewCount)
{
    const QString path = writeLog(u"one.log"_s, "only line");
    LogViewerView view(model(path));
    view.show();
    EXPECT_EQ(view.statusLabel()->text(), path + u" · 1 行"_s);

    writeLog(u"one.log"_s, QByteArray("x\n").repeated(700));
    view.refreshButton()->click();
    EXPECT_EQ(view.statusLabel()->text(), path + u" · 500 行"_s);
    view.linesBox()->stepUp();
    view.refreshButton()->click();
    EXPECT_EQ(view.statusLabel()->text(), path + u" · 600 行"_s);
}

TEST_F(LogViewerTest, StepperMovesByAHundredWithinItsRange)
{
    LogViewerView view(model(std::nullopt));
    QSpinBox& box = *view.linesBox();
    const struct {
        int steps;
        int expected;
    } moves[] = {{1, 600}, {-2, 400}, {100, 2000}, {-100, 50}, {1, 150}};
    for (const auto& move : moves) {
        box.stepBy(move.steps);
        EXPECT_EQ(box.value(), move.expected);
        EXPECT_EQ(view.model().lines(), move.expected);
    }
    EXPECT_EQ(box.text(), u"行数 150"_s);
}

TEST_F(LogViewerTest, RevealShowsTheFileOrFallsBackToItsFolder)
{
    const QString path = testHome() + u"/state/vellamor/vellamor.log"_s;
    for (const bool fileManagerTakesIt : {true, false}) {
        SCOPED_TRACE(fileManagerTakesIt);
        workspace = std::make_shared<FakeWorkspace>();
        workspace->fileManagerTakesRequests = fileManagerTakesIt;
        LogViewerView view(model(path));
        view.revealButton()->click();
        EXPECT_EQ(workspace->shownFiles, QStringList{path});
        EXPECT_EQ(workspace->openedUrls,
                  fileManagerTakesIt ? QList<QUrl>{} : QList<QUrl>{QUrl::fromLocalFile(testHome() + u"/state/vellamor"_s)});
    }
}

} // namespace
} // namespace vellamor::test
