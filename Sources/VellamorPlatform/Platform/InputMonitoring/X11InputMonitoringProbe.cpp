#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"

#include "Platform/X11/X11ErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace vellamor::platform {

X11InputMonitoringProbe::X11InputMonitoringProbe(QProcessEnvironment environment)
    : environment_(std::move(environment))
{
}

InputMonitoringSupport X11InputMonitoringProbe::probe() const
{
    if (environment_.value(QStringLiteral("XDG_SESSION_TYPE")) == QStringLiteral("wayland")
        || !environment_.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        return InputMonitoringSupport::waylandSession;
    }
    const QByteArray name = environment_.value(QStringLiteral("DISPLAY")).toLocal8Bit();
    if (name.isEmpty())
        return InputMonitoringSupport::noDisplay;
    Display* display = XOpenDisplay(name.constData());
    if (!display)
        return InputMonitoringSupport::noDisplay;

    bool supported = false;
    {
        X11ErrorTrap trap(display);
        int opcode = 0;
        int firstEvent = 0;
        int firstError = 0;
        if (XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)) {
            int major = 2;
            int minor = 1;
            supported = XIQueryVersion(display, &major, &minor) == Success
                && (major > 2 || (major == 2 && minor >= 1));
        }
        trap.sync();
    }
    XCloseDisplay(display);
    return supported ? InputMonitoringSupport::available : InputMonitoringSupport::noKeyObservation;
}

} // namespace vellamor::platform
