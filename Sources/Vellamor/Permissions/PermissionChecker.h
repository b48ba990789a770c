#pragma once

#include "Logging/VellamorLog.h"
#include "Permissions/VellamorPermission.h"
#include "Platform/InputMonitoring/InputMonitoringProbe.h"

#include <QString>

#include <memory>

namespace vellamor {

// A permission's status with, when it is not granted, the reason in words
// the user can act on.
struct PermissionState {
    VellamorPermissionStatus status = VellamorPermissionStatus::notDetermined;
    QString explanation;

    friend bool operator==(const PermissionState&, const PermissionState&) = default;
};

// Reads the system permissions dictation needs. Keeps no state: every call
// asks the system again. Main thread.
class PermissionChecker {
public:
    // Logs to "com.vellamor.app"/"permission".
    explicit PermissionChecker(std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring);
    PermissionChecker(std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring, VellamorLog log);

    // Global key observation: granted when the display server reports every
    // key to ordinary clients (X11 with XInput 2.1); denied otherwise, with
    // the reason. There is nothing to request: no dialog exists.
    PermissionState inputMonitoring() const;

private:
    std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring_;
    VellamorLog log_;
};

} // namespace vellamor
