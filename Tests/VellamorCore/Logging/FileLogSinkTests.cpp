#include "Logging/FileLogSink.h"

#include "Logging/VellamorLog.h"
#include "Support/AppPaths.h"

#include "QtPrinters.h"
#include "WaitUntil.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vellamor;

namespace {

// The file's physical lines, without the empty piece after the final newline.
QStringList readLogLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Timestamp, blank, five-character tag, blank, [category], blank, message.
const QRegularExpression& logLinePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z) (DEBUG|INFO |WARN |ERROR) \[([^\]]*)\] (.*)$)"));
    return pattern;
}

mode_t permissions(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

class FileLogSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    // Two folders deep, neither existing yet.
    QString logPath() const { return root.path() + QStringLiteral("/state/vellamor/vellamor.log"); }

    QTemporaryDir root;
};

// One call in one second and one in the next: the stamp must follow the clock.
TEST_F(FileLogSinkTest, LineIsTimestampOfTheCallTagCategoryMessage)
{
    FileLogSink sink(logPath());
    std::vector<std::pair<qint64, qint64>> windows;
    for (int call = 0; call < 2; ++call) {
        if (call == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(1020 - QDateTime::currentMSecsSinceEpoch() % 1000));
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        sink.write(QStringLiteral("WARN "), QStringLiteral("ws"), QStringLiteral("closed 1006"));
        windows.emplace_back(before, QDateTime::currentMSecsSinceEpoch());
    }
    sink.flush();

    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 3);
    for (int call = 0; call < 2; ++call) {
        const auto match = logLinePattern().match(lines[call + 1]);
        ASSERT_TRUE(match.hasMatch()) << lines[call + 1].toStdString();
        EXPECT_EQ(match.captured(0).mid(24), QStringLiteral(" WARN  [ws] closed 1006"));
        const QDateTime when = QDateTime::fromString(match.captured(1), Qt::ISODateWithMs);
        EXPECT_EQ(when.toString(Qt::ISODateWithMs), match.captured(1));
        // Milliseconds are truncated, so the stamp may sit just below `before`.
        EXPECT_GE(when.toMSecsSinceEpoch(), windows[call].first - 1);
        EXPECT_LE(when.toMSecsSinceEpoch(), windows[call].second);
    }
}

TEST_F(FileLogSinkTest, FoldersAreUserOnlyAndTheFileIsPrivateWhateverTheUmask)
{
    const mode_t previous = ::umask(0277);
    {
        FileLogSink sink(logPath());
    }
    ::umask(previous);
    EXPECT_EQ(permissions(root.path() + QStringLiteral("/state")), 0700u);
    EXPECT_EQ(permissions(root.path() + QStringLiteral("/state/vellamor")), 0700u);
    EXPECT_EQ(permissions(logPath()), 0600u);

    // A file left readable by an older version is narrowed when opened.
    ASSERT_EQ(::chmod(QFile::encodeName(logPath()).constData(), 0644), 0);
    FileLogSink again(logPath());
    EXPECT_EQ(permissions(logPath()), 0600u);
}

TEST_F(FileLogSinkTest, EachRunAppendsItsLaunchLineAndTheMessagesAsWritten)
{
    {
        FileLogSink first(logPath());
        first.write(QStringLiteral("INFO "), QStringLiteral("boot"), QStringLiteral("first run"));
    }
    {
        FileLogSink second(logPath());
        second.write(QStringLiteral("INFO "), QStringLiteral("asr"), QStringLiteral("second\n识别完成 token=x"));
    }
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 5);
    for (const int launch : {0, 2}) {
        const auto match = logLinePattern().match(lines[launch]);
        ASSERT_TRUE(match.hasMatch()) << lines[launch].toStdString();
        EXPECT_EQ(match.captured(2), QStringLiteral("INFO "));
        EXPECT_EQ(match.captured(3), QStringLiteral("file-log"));
        EXPECT_EQ(match.captured(4), QStringLiteral("=== launch pid=") + QString::number(::getpid()) + QStringLiteral(" ==="));
    }
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" INFO  [boot] first run")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" INFO  [asr] second")));
    EXPECT_EQ(lines[4], QStringLiteral("识别完成 token=x"));
}

TEST_F(FileLogSinkTest, FileDeletedWhileRunningIsNotRecreated)
{
    FileLogSink sink(logPath());
    sink.flush();
    ASSERT_TRUE(QFile::remove(logPath()));
    sink.write(QStringLiteral("ERROR"), QStringLiteral("boot"), QStringLiteral("after delete"));
    sink.flush();
    EXPECT_FALSE(QFile::exists(logPath()));
}

// The sink is destroyed without a flush: what the threads submitted must still arrive.
TEST_F(FileLogSinkTest, LinesFromManyThreadsStayWholeInEachThreadsOrderAndAllArrive)
{
    constexpr int threadCount = 8;
    constexpr int perThread = 400;
    const QString padding(300, QLatin1Char('x'));
    {
        FileLogSink sink(logPath());
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i)
                    sink.write(QStringLiteral("INFO "), QStringLiteral("t") + QString::number(t),
                               QString::number(i) + QLatin1Char(' ') + padding);
            });
        for (auto& thread : threads)
            thread.join();
    }
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 1 + threadCount * perThread);
    std::vector<int> next(threadCount, 0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const auto match = logLinePattern().match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << "line " << i;
        const size_t t = match.captured(3).mid(1).toUInt();
        ASSERT_LT(t, next.size());
        EXPECT_EQ(match.captured(4), QString::number(next[t]) + QLatin1Char(' ') + padding) << "line " << i;
        ++next[t];
    }
}

// A pipe with nobody reading stalls the writer thread; the callers must not notice.
TEST_F(FileLogSinkTest, CallersDoNotWaitForAStalledFile)
{
    const QString fifo = root.path() + QStringLiteral("/stalled.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int readEnd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);

    constexpr int count = 2000; // far more than a pipe buffer holds
    const QString payload(200, QLatin1Char('p'));
    auto sink = std::make_unique<FileLogSink>(fifo);
    ASSERT_TRUE(sink->isOpen());

    std::atomic<bool> callerDone {false};
    std::thread caller([&] {
        for (int i = 0; i < count; ++i)
            sink->write(QStringLiteral("INFO "), QStringLiteral("fifo"), payload);
        callerDone = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + test::hangCeiling;
    while (!callerDone && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(callerDone.load()) << "write() blocked on the file";

    // Drain the pipe so the sink can finish and be destroyed.
    ::fcntl(readEnd, F_SETFL, 0);
    QByteArray received;
    std::thread reader([&] {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            received.append(buffer, n);
        }
    });
    caller.join();
    sink.reset();
    reader.join();
    ::close(readEnd);
    EXPECT_EQ(received.count('\n'), count + 1);
}

TEST(FileLogSinkShared, WritesTheApplicationsLogFile)
{
    EXPECT_TRUE(FileLogSink::shared()->isOpen());
    EXPECT_EQ(VellamorLog::fileURL(), AppPaths::logFile());
}

TEST(FileLogSinkSharedDeathTest, NoHomeMeansNoFileURLAndLoggingStillWorks)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Runs in a fresh child process, so the shared sink is created there,
    // after the environment has lost every way to locate a home.
    EXPECT_EXIT(
        {
            qunsetenv("HOME");
            qunsetenv("XDG_STATE_HOME");
            VellamorLog log(QStringLiteral("com.vellamor.app"), QStringLiteral("boot"));
            log.info(QStringLiteral("no home"));
            log.error(QStringLiteral("still no home"), QStringLiteral("detail"));
            FileLogSink::shared()->flush();
            std::exit(VellamorLog::fileURL().has_value() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
