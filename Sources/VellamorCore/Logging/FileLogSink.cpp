#include "Logging/FileLogSink.h"

#include "Support/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellamor {

namespace {

constexpr mode_t folderMode = 0700;
constexpr mode_t fileMode = 0600;
constexpr std::chrono::microseconds batchingPause {500};

// Same text as an ISO 8601 UTC date with milliseconds ("2026-03-01T08:15:42.123Z"),
// built without QDateTime because this runs on the caller's thread for every
// line; the part up to the seconds is reused while the second lasts.
QString currentTimestamp()
{
    using namespace std::chrono;
    const auto sinceEpoch = time_point_cast<milliseconds>(system_clock::now()).time_since_epoch().count();
    auto seconds = static_cast<std::time_t>(sinceEpoch / 1000);
    auto millis = static_cast<int>(sinceEpoch % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    thread_local std::time_t cachedSecond = -1;
    thread_local char text[64];
    thread_local int prefixLength = 0; // "YYYY-MM-DDTHH:MM:SS."
    if (seconds != cachedSecond) {
        std::tm utc {};
        gmtime_r(&seconds, &utc);
        prefixLength = std::snprintf(text, sizeof text - 4, "%04d-%02d-%02dT%02d:%02d:%02d.", utc.tm_year + 1900,
                                     utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        cachedSecond = seconds;
    }
    text[prefixLength] = static_cast<char>('0' + millis / 100);
    text[prefixLength + 1] = static_cast<char>('0' + millis / 10 % 10);
    text[prefixLength + 2] = static_cast<char>('0' + millis % 10);
    text[prefixLength + 3] = 'Z';
    return QString::fromLatin1(text, prefixLength + 4);
}

// Creates every missing folder of `path` as user-only. Failures are left for
// the open to report (by failing).
void makeUserOnlyPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    qsizetype next = 0;
    while (next >= 0) {
        next = clean.indexOf(QLatin1Char('/'), next + 1);
        const QString prefix = next < 0 ? clean : clean.left(next);
        if (prefix.isEmpty())
            continue;
        const QByteArray encoded = QFile::encodeName(prefix);
        if (::mkdir(encoded.constData(), folderMode) == 0)
            ::chmod(encoded.constData(), folderMode); // the umask may have narrowed it differently
    }
}

void writeAll(int fd, const QByteArray& data)
{
    const char* cursor = data.constData();
    qsizetype remaining = data.size();
    while (remaining > 0) {
        const ssize_t count = ::write(fd, cursor, static_cast<size_t>(remaining));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return; // a failed write is dropped; the next batch tries again
        }
        cursor += count;
        remaining -= count;
    }
}

} // namespace

std::shared_ptr<FileLogSink> FileLogSink::shared()
{
    static const std::shared_ptr<FileLogSink> instance = std::make_shared<FileLogSink>(AppPaths::logFile());
    return instance;
}

FileLogSink::FileLogSink(std::optional<QString> filePath)
    : fileURL_(std::move(filePath))
{
    openFile();
    if (fd_ >= 0) {
        try {
            writer_ = std::thread([this] { runWriter(); });
        } catch (const std::system_error&) {
            // Logging never throws: without a writer the file is left alone.
            ::close(fd_);
            fd_ = -1;
        }
    }
    write(QStringLiteral("INFO "), QStringLiteral("file-log"),
          QStringLiteral("=== launch pid=") + QString::number(::getpid()) + QStringLiteral(" ==="));
}

FileLogSink::~FileLogSink()
{
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        writer_.join();
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void FileLogSink::openFile()
{
    if (!fileURL_)
        return;
    makeUserOnlyPath(QFileInfo(*fileURL_).absolutePath());
    const QByteArray encoded = QFile::encodeName(*fileURL_);
    // O_APPEND keeps every write at the end, so earlier runs' lines stay.
    fd_ = ::open(encoded.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, fileMode);
    if (fd_ >= 0)
        ::fchmod(fd_, fileMode); // also narrows a file left readable by an older version
}

QString FileLogSink::formatLine(const QString& timestamp, const QString& level, const QString& category,
                                const QString& message)
{
    return timestamp + QLatin1Char(' ') + level + QStringLiteral(" [") + category + QStringLiteral("] ") + message
        + QLatin1Char('\n');
}

void FileLogSink::write(const QString& level, const QString& category, const QString& message)
{
    if (fd_ < 0)
        return;
    QByteArray line = formatLine(currentTimestamp(), level, category, message).toUtf8();
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(line));
        ++submitted_;
    }
    wake_.notify_one();
}

void FileLogSink::flush()
{
    std::unique_lock lock(mutex_);
    const std::uint64_t target = submitted_;
    drained_.wait(lock, [&] { return written_ >= target; });
}

void FileLogSink::runWriter()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (pending_.empty())
            break; // stopping, and everything submitted has been written
        std::deque<QByteArray> batch;
        batch.swap(pending_);
        lock.unlock();

        qsizetype total = 0;
        for (const QByteArray& line : batch)
            total += line.size();
        QByteArray chunk;
        chunk.reserve(total);
        for (const QByteArray& line : batch)
            chunk.append(line);
        writeAll(fd_, chunk);
        const auto count = batch.size();
        batch.clear();
        chunk.clear();

        lock.lock();
        written_ += count;
        drained_.notify_all();
        if (stopping_)
            continue;
        // Lines logged in a burst gather while the writer lingers here; the
        // callers find it not waiting and spare themselves the wake-up call.
        lock.unlock();
        std::this_thread::sleep_for(batchingPause);
        lock.lock();
    }
}

} // namespace vellamor
