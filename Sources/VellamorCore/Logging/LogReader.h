#pragma once

#include "Networking/HTTPSession.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor {

// The end of the log file, read through a bounded window so that a log that
// grows without limit never costs more than maxTailBytes; and the tail of a
// server-side log, fetched with an administrator token.
class LogReader {
public:
    LogReader() = delete;

    static constexpr qint64 maxTailBytes = 524288;
    static constexpr int maxTailLines = 2000;
    static constexpr int defaultTailLines = 500;

    struct RemoteTailResult {
        bool exists = false;
        QString path;
        qint64 totalBytes = 0;
        QStringList lines;
        std::optional<QString> reason;

        QString joined() const { return lines.join(QLatin1Char('\n')); }

        friend bool operator==(const RemoteTailResult&, const RemoteTailResult&) = default;
    };

    // The last `lines` lines (clamped to 1…maxTailLines) of the file at
    // `path`, joined with "\n" and without a trailing newline. None only
    // when there is no path or the file cannot be opened or read, so callers
    // can tell a failure from an empty log, which gives the empty string;
    // so do bytes that are not valid UTF-8. When the window
    // starts inside the file, its partial first line is dropped as bytes,
    // before decoding, so a window that begins inside a multi-byte character
    // still decodes.
    static std::optional<QString> readLocal(const std::optional<QString>& path, int lines);

    // POSTs {"action":"admin.tailLog","data":{"lines":n}} to `api` (the full
    // endpoint, nothing appended) with the token in "X-Admin-Token".
    // Throws LogReaderError for an absent or empty token (nothing is sent),
    // a non-HTTP answer, HTTP 401, any other status ≥ 400 and a non-zero
    // result code. Transport errors and JsonError from decoding the reply
    // pass through unchanged.
    static QCoro::Task<RemoteTailResult> readRemote(QUrl api, std::optional<QString> token, int lines,
                                                    std::shared_ptr<HTTPSession> session,
                                                    std::stop_token stop = {});

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
