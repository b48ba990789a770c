#pragma once

#include "Diagnostics/DiagnosticsReport.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

namespace vellamor {

class PermissionChecker;

namespace platform {
class Pasteboard;
} // namespace platform

// The diagnostics page's state: the last permission snapshot, whether the
// report was just copied, and whether the log is open. Main thread only.
class DiagnosticsPageModel : public QObject {
public:
    static constexpr std::chrono::milliseconds copiedFeedback{1800};

    DiagnosticsPageModel(std::shared_ptr<const PermissionChecker> checker,
                         std::shared_ptr<platform::Pasteboard> pasteboard, std::optional<QString> logFile,
                         SleepFunction sleep, QObject* parent = nullptr);

    // Empty until the first snapshot arrives.
    Published<PermissionStatuses> statuses{{}};
    Published<bool> copied{false};
    Published<bool> showLogs{false};

    // The page came on screen: the only time the permissions are read again.
    void appear();
    // Copies the report made from the last snapshot, then shows "copied" for a
    // while. Every press waits on its own; the first wait to end clears it.
    void copyReport();
    void toggleLogs() { showLogs = !showLogs.value(); }
    // False when no settings program could be started for it.
    bool openSystemSettings(VellamorPermission permission) const;

    // The system information card: the version and the system.
    static QList<std::pair<QString, QString>> systemInfoRows();

private:
    std::shared_ptr<const PermissionChecker> checker_;
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::optional<QString> logFile_;
    SleepFunction sleep_;
};

} // namespace vellamor
