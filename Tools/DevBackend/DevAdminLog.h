#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor::devbackend {

class DevServer;

// "admin.tailLog": the tail of a server-side log for an operator who sends
// the administrator token in "X-Admin-Token".
// - No configured token: code 40300, the action is switched off.
// - Header missing or different: HTTP 401 with code 40100.
// - "data.lines" not an integer from 1 to 2000: code 40001.
// - Otherwise code 0 with {"path", "exists", "total_bytes", "lines", and
//   "reason" when there are no lines}.
class DevAdminLog {
public:
    struct Options {
        // VELLAMOR_DEV_ADMIN_TOKEN when set, else "dev-admin-token".
        QString token = defaultToken();
        QString path = QStringLiteral("/var/log/vellamor/devserver.log");
        bool exists = true;
        // The log's lines; none serves the server's own request record,
        // one "METHOD path" line per request.
        std::optional<QStringList> lines;
    };

    static void install(DevServer& server);
    static void install(DevServer& server, Options options);
    static QString defaultToken();
};

} // namespace vellamor::devbackend
