#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// The end of the log file, read through a bounded window so that a log that
// grows without limit never costs more than maxTailBytes.
class LogReader {
public:
    LogReader() = delete;

    static constexpr qint64 maxTailBytes = 524288;
    static constexpr int maxTailLines = 2000;
    static constexpr int defaultTailLines = 500;

    // The last `lines` lines (clamped to 1…maxTailLines) of the file at
    // `path`, joined with "\n" and without a trailing newline. None only
    // when there is no path or the file cannot be opened or read, so callers
    // can tell a failure from an empty log, which gives the empty string;
    // so do bytes that are not valid UTF-8. When the window
    // starts inside the file, its partial first line is dropped as bytes,
    // before decoding, so a window that begins inside a multi-byte character
    // still decodes.
    static std::optional<QString> readLocal(const std::optional<QString>& path, int lines);

    static int clampedLineCount(int lines);

    // The lines of a decoded window, keeping empty lines and dropping only
    // the empty piece after a final "\n", of which the last `count` are kept.
    static QString lastLines(const QString& text, int count);

    // The bytes of a window that starts after the beginning of the file,
    // without its partial first line; a window without "\n" is kept whole
    // but for the continuation bytes (at most three) of a character cut at
    // its start.
    static QByteArray droppingPartialFirstLine(const QByteArray& window);
};

} // namespace vellamor
