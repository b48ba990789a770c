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

// The tail of a server-side log, fetched with an administrator token.
class RemoteLogReader {
public:
    RemoteLogReader() = delete;

    struct TailResult {
        bool exists = false;
        QString path;
        qint64 totalBytes = 0;
        QStringList lines;
        std::optional<QString> reason;

        QString joined() const { return lines.join(QLatin1Char('\n')); }

        friend bool operator==(const TailResult&, const TailResult&) = default;
    };

    // POSTs {"action":"admin.tailLog","data":{"lines":n}} to `api` (the full
    // endpoint, nothing appended) with the token in "X-Admin-Token".
    // Throws RemoteLogReaderError for an absent or empty token (nothing is
    // sent), a non-HTTP answer, HTTP 401, any other status ≥ 400 and a non-zero
    // result code. Transport errors and JsonError from decoding the reply
    // pass through unchanged.
    static QCoro::Task<TailResult> read(QUrl api, std::optional<QString> token, int lines,
                                         std::shared_ptr<HTTPSession> session, std::stop_token stop = {});
};

} // namespace vellamor
