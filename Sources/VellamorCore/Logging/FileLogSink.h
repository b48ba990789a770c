#pragma once

#include "Logging/LogSink.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vellamor {

// Appends log lines to one file from a dedicated writer thread, so callers
// never wait for the disk. Lines reach the file in the order write() was
// called; each line is formatted (and timestamped) on the caller's thread.
// The file is opened once and kept open: it is never rotated, truncated or
// reopened, and a file deleted while the process runs is not recreated.
class FileLogSink final : public LogSink {
public:
    // The process's sink at AppPaths::logFile(), created on first use.
    static std::shared_ptr<FileLogSink> shared();

    // A sink on `filePath`; none stands for "no place to put a log file"
    // and makes every write a no-op. Writes the launch line at once.
    explicit FileLogSink(std::optional<QString> filePath);
    ~FileLogSink() override;

    FileLogSink(const FileLogSink&) = delete;
    FileLogSink& operator=(const FileLogSink&) = delete;

    void write(const QString& level, const QString& category, const QString& message) override;

    // Waits until every line submitted before the call is in the file.
    void flush();

    // The log file's path, even when it could not be opened; none only when
    // there was no path to begin with.
    const std::optional<QString>& fileURL() const { return fileURL_; }
    bool isOpen() const { return fd_ >= 0; }

    // One file line: UTC timestamp with milliseconds, tag, [category], message.
    static QString formatLine(const QString& timestamp, const QString& level, const QString& category,
                              const QString& message);

private:
    void openFile();
    void runWriter();

    std::optional<QString> fileURL_;
    int fd_ = -1;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<QByteArray> pending_;
    std::uint64_t submitted_ = 0;
    std::uint64_t written_ = 0;
    bool stopping_ = false;
    std::thread writer_;
};

} // namespace vellamor
