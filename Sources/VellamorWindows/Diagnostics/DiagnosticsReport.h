#pragma once

#include "Permissions/VellamorPermission.h"
#include "Version/ApplicationVersion.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// What a diagnostics report says about the machine and the application at
// the moment it is made.
struct DiagnosticsFacts {
    QDateTime time;
    // The distribution's name and the kernel's version, as the page shows them.
    QString system;
    ApplicationVersion version;
    // None when the log could not be read.
    std::optional<QString> logTail;

    static constexpr int logTailLines = 120;

    // Now, this system, the running application and the end of `logFile`.
    static DiagnosticsFacts gather(const std::optional<QString>& logFile);
    // "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64".
    static QString currentSystem();
};

// The plain-text report a user copies for support. Every entry passes the log
// redactor, and the last line counts the entries it changed.
class DiagnosticsReport {
public:
    DiagnosticsReport() = delete;

    // A permission missing from `statuses` counts as not determined.
    static QString build(const PermissionStatuses& statuses, const DiagnosticsFacts& facts);

    // How a status reads in the report: "not-determined", "denied", "granted".
    static QString reportWord(VellamorPermissionStatus status);
};

} // namespace vellamor
