#pragma once

namespace vellamor::platform {

// Whether ordinary clients may observe every key of the session.
enum class InputMonitoringSupport {
    available,
    waylandSession,   // the compositor hides other clients' keys
    noDisplay,        // no display server to ask
    noKeyObservation, // the server lacks global key observation (XInput 2.1)
};

class InputMonitoringProbe {
public:
    virtual ~InputMonitoringProbe() = default;
    virtual InputMonitoringSupport probe() const = 0;
};

} // namespace vellamor::platform
