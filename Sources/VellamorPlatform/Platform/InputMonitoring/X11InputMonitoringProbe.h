#pragma once

#include "Platform/InputMonitoring/InputMonitoringProbe.h"

#include <QProcessEnvironment>

namespace vellamor::platform {

// Asks the session's environment and X server: a Wayland session rules
// global keys out whatever XWayland offers; otherwise the X server named by
// DISPLAY must offer XInput 2.1 (raw key events regardless of grabs).
class X11InputMonitoringProbe final : public InputMonitoringProbe {
public:
    explicit X11InputMonitoringProbe(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    InputMonitoringSupport probe() const override;

private:
    QProcessEnvironment environment_;
};

} // namespace vellamor::platform
