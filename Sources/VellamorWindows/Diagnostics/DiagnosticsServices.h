#pragma once

#include "Version/ApplicationVersion.h"

#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

class PermissionChecker;

namespace platform {
class Pasteboard;
class Workspace;
} // namespace platform

// What the diagnostics and about pages reach beyond their window: the
// permission checker, the clipboard, the desktop's file manager and default
// applications, the log file and the running version.
struct DiagnosticsServices {
    std::shared_ptr<const PermissionChecker> permissions;
    std::shared_ptr<platform::Pasteboard> pasteboard;
    std::shared_ptr<platform::Workspace> workspace;
    // None when there is no place for a log.
    std::optional<QString> logFile;
    ApplicationVersion version;
};

} // namespace vellamor
