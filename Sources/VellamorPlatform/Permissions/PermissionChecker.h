#pragma once

#include "Logging/VellamorLog.h"
#include "Permissions/VellamorPermission.h"
#include "Platform/AccessibilityStatus/AccessibilityStatus.h"
#include "Platform/InputMonitoring/InputMonitoringProbe.h"
#include "Platform/SoundServer/SoundServer.h"
#include "Platform/SystemSettings/CommandLauncher.h"

#include <QCoro/QCoroTask>
#include <QMap>
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
// asks the system again (the sound server may answer from its last answer
// while nothing changed, the accessibility switch answers with what it last
// heard). Main thread; the checker must outlive the calls
// it awaits. Nothing here throws.
class PermissionChecker {
public:
    // The system facilities behind the permissions.
    struct Facilities {
        std::shared_ptr<platform::InputMonitoringProbe> inputMonitoring;
        std::shared_ptr<platform::SoundServer> soundServer;
        std::shared_ptr<platform::AccessibilityStatus> accessibility;
        std::shared_ptr<platform::CommandLauncher> launcher;
    };

    // Logs to "com.vellamor.app"/"permission" unless told otherwise.
    explicit PermissionChecker(Facilities facilities);
    PermissionChecker(Facilities facilities, VellamorLog log);

    // The three statuses, as the rest of the application sees them.
    QCoro::Task<PermissionStatuses> snapshot() const;

    // Recording: granted when the sound server answers and offers at least
    // one source that is not a monitor of an output; denied otherwise, with
    // the reason. Never undetermined: no desktop asks the user.
    QCoro::Task<PermissionState> microphone() const;

    // Nothing to ask the user on this system: answers microphone().
    QCoro::Task<PermissionState> requestMicrophone() const;

    // Writing into other applications: granted when AT-SPI is switched on,
    // otherwise undetermined (never denied). At once, from the switch's last
    // answer; snapshot() asks it anew and awaits the answer.
    PermissionState accessibility() const;

    // Switches AT-SPI on when it is off. Granted when it is on afterwards; the
    // explanation then asks to restart the applications already open, which
    // only publish their text fields when they start.
    PermissionState requestAccessibility() const;

    // Global key observation: granted when the display server reports every
    // key to ordinary clients (X11 with XInput 2.1); denied otherwise, with
    // the reason. There is nothing to request: no dialog exists.
    PermissionState inputMonitoring() const;

    // Opens the desktop's settings page for the permission with the first
    // installed command that starts. Returns false, after a warning in the
    // log, when there is none: the caller then explains in its own words.
    bool openSystemSettings(VellamorPermission permission) const;

    // The microphone rule applied to one answer of the sound server.
    static PermissionState microphoneState(const platform::SoundServerSnapshot& snapshot);
    // The accessibility rule applied to one answer of the switch.
    static PermissionState accessibilityState(std::optional<bool> enabled);

private:
    Facilities facilities_;
    VellamorLog log_;
};

} // namespace vellamor
