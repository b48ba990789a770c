#include "Logging/FileLogSink.h"

#include "Logging/VellamorLog.h"
#include "Support/AppPaths.h"

#include "LoggingTestSupport.h"
#include "ScopedEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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
using vellamor::test::logLinePattern;
using vellamor::test::readLogLines;
using vellamor::test::ScopedEnvironment;

namespace {

mode_t permissions(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

QString launchMessage()
{
    return QStringLiteral("=== launch pid=") + QString::number(::getpid()) + QStringLiteral(" ===");
}

class FileLogSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    // Two folders deep, neither existing yet.
    QString logPath() const { return root.path() + QStringLiteral("/state/vellamor/vellamor.log"); }

    QTemporaryDir root;
};

TEST_F(FileLogSinkTest, FirstLineIsTheLaunchLine)
{
    FileLogSink sink(logPath());
    sink.flush();
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 1);
    const auto match = logLinePattern().match(lines[0]);
    ASSERT_TRUE(match.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(match.captured(2), QStringLiteral("INFO "));
    EXPECT_EQ(match.captured(3), QStringLiteral("file-log"));
    EXPECT_EQ(match.captured(4), launchMessage());
}

TEST_F(FileLogSinkTest, LineIsTimestampOfTheCallTagCategoryMessage)
{
    FileLogSink sink(logPath());
    // One call in one second and one in the next: the stamp must follow the clock.
    std::vector<std::pair<qint64, qint64>> windows;
    for (int call = 0; call < 2; ++call) {
        if (call == 1) {
            const qint64 toNextSecond = 1000 - QDateTime::currentMSecsSinceEpoch() % 1000;
            std::this_thread::sleep_for(std::chrono::milliseconds(toNextSecond + 20));
        }
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        sink.write(QStringLiteral("WARN "), QStringLiteral("ws"), QStringLiteral("closed 1006"));
        windows.emplace_back(before, QDateTime::currentMSecsSinceEpoch());
    }
    sink.flush();

    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 3);
    for (int call = 0; call < 2; ++call) {
        const QString& line = lines[call + 1];
        ASSERT_TRUE(line.endsWith(QStringLiteral(" WARN  [ws] closed 1006"))) << line.toStdString();
        const QString stamp = line.left(24);
        const QDateTime when = QDateTime::fromString(stamp, Qt::ISODateWithMs);
        ASSERT_TRUE(when.isValid()) << stamp.toStdString();
        EXPECT_EQ(when.timeSpec(), Qt::UTC);
        EXPECT_EQ(when.toString(Qt::ISODateWithMs), stamp);
        // Milliseconds are truncated, so the stamp may sit just below `before`.
        EXPECT_GE(when.toMSecsSinceEpoch(), windows[call].first - 1);
        EXPECT_LE(when.toMSecsSinceEpoch(), windows[call].second);
    }
}

TEST_F(FileLogSinkTest, FolderIsUserOnlyAndFileIsPrivate)
{
    FileLogSink sink(logPath());
    sink.flush();
    EXPECT_EQ(permissions(root.path() + QStringLiteral("/state")), 0700u);
    EXPECT_EQ(permissions(root.path() + QStringLiteral("/state/vellamor")), 0700u);
    EXPECT_EQ(permissions(logPath()), 0600u);
}

TEST_F(FileLogSinkTest, ModesHoldWhateverTheUmask)
{
    const mode_t previous = ::umask(0277);
    FileLogSink sink(logPath());
    ::umask(previous);
    sink.flush();
    EXPECT_EQ(permissions(root.path() + QStringLiteral("/state/vellamor")), 0700u);
    EXPECT_EQ(permissions(logPath()), 0600u);
    EXPECT_EQ(readLogLines(logPath()).size(), 1);
}

TEST_F(FileLogSinkTest, ExistingReadableFileIsMadePrivate)
{
    QDir().mkpath(root.path() + QStringLiteral("/state/vellamor"));
    QFile old(logPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    ::chmod(QFile::encodeName(logPath()).constData(), 0644);

    FileLogSink sink(logPath());
    EXPECT_EQ(permissions(logPath()), 0600u);
}

TEST_F(FileLogSinkTest, LinesOfEarlierRunsStay)
{
    {
        FileLogSink first(logPath());
        first.write(QStringLiteral("INFO "), QStringLiteral("boot"), QStringLiteral("first run"));
    }
    {
        FileLogSink second(logPath());
        second.write(QStringLiteral("INFO "), QStringLiteral("boot"), QStringLiteral("second run"));
    }
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(launchMessage()));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("[boot] first run")));
    EXPECT_TRUE(lines[2].endsWith(launchMessage()));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("[boot] second run")));
}

TEST_F(FileLogSinkTest, DestructionWritesEverythingSubmitted)
{
    constexpr int count = 3000;
    {
        FileLogSink sink(logPath());
        for (int i = 0; i < count; ++i)
            sink.write(QStringLiteral("DEBUG"), QStringLiteral("bulk"), QString::number(i));
    }
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), count + 1);
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("[bulk] ") + QString::number(count - 1)));
}

TEST_F(FileLogSinkTest, MessagesAreWrittenAsTheyAre)
{
    FileLogSink sink(logPath());
    sink.write(QStringLiteral("INFO "), QStringLiteral("asr"), QStringLiteral("first\nsecond 识别完成 token=x"));
    sink.flush();
    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" INFO  [asr] first")));
    EXPECT_EQ(lines[2], QStringLiteral("second 识别完成 token=x"));
}

TEST_F(FileLogSinkTest, FileDeletedWhileRunningIsNotRecreated)
{
    FileLogSink sink(logPath());
    sink.flush();
    ASSERT_TRUE(QFile::remove(logPath()));
    sink.write(QStringLiteral("ERROR"), QStringLiteral("boot"), QStringLiteral("after delete"));
    sink.flush();
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_EQ(sink.fileURL(), logPath());
}

TEST_F(FileLogSinkTest, UnopenableFileKeepsItsPathAndSkipsWrites)
{
    // A regular file where the folder should be: neither folder nor file can be made.
    QFile blocker(root.path() + QStringLiteral("/state"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    FileLogSink sink(logPath());
    EXPECT_FALSE(sink.isOpen());
    EXPECT_EQ(sink.fileURL(), logPath());
    sink.write(QStringLiteral("INFO "), QStringLiteral("boot"), QStringLiteral("dropped"));
    sink.flush();
    EXPECT_FALSE(QFile::exists(logPath()));
}

TEST_F(FileLogSinkTest, NoPathMeansNoFileAndNoFailure)
{
    FileLogSink sink(std::nullopt);
    EXPECT_EQ(sink.fileURL(), std::nullopt);
    EXPECT_FALSE(sink.isOpen());
    sink.write(QStringLiteral("INFO "), QStringLiteral("boot"), QStringLiteral("dropped"));
    sink.flush();
}

TEST_F(FileLogSinkTest, LinesFromManyThreadsStayWholeAndInEachThreadsOrder)
{
    constexpr int threadCount = 8;
    constexpr int perThread = 400;
    const QString padding(300, QLatin1Char('x'));
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
    sink.flush();

    const QStringList lines = readLogLines(logPath());
    ASSERT_EQ(lines.size(), 1 + threadCount * perThread);
    std::vector<int> next(threadCount, 0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const auto match = logLinePattern().match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << "line " << i;
        const int t = match.captured(3).mid(1).toInt();
        ASSERT_GE(t, 0);
        ASSERT_LT(t, threadCount);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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

TEST(FileLogSinkShared, OneInstanceAtTheApplicationsLogFile)
{
    const auto first = FileLogSink::shared();
    std::shared_ptr<FileLogSink> fromOtherThread;
    std::thread([&] { fromOtherThread = FileLogSink::shared(); }).join();
    EXPECT_EQ(first, fromOtherThread);
    ASSERT_TRUE(first->fileURL().has_value());
    EXPECT_EQ(first->fileURL(), AppPaths::logFile());
    EXPECT_EQ(VellamorLog::fileURL(), AppPaths::logFile());
    EXPECT_TRUE(first->isOpen());
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
