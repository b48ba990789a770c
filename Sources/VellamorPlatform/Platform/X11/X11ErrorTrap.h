#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace vellamor::platform {

// Collects the protocol errors of one display connection for as long as it
// lives, instead of letting Xlib's default handler end the process. Errors
// of other connections go on to the handler that was in place before.
// Traps may be nested and used on several threads at once.
class X11ErrorTrap {
public:
    struct Failure {
        unsigned char errorCode;
        unsigned char requestCode;
        unsigned long resourceId;
    };

    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();

    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has handled every request sent so far and
    // returns the errors they caused (and forgets them).
    std::vector<Failure> sync();

    bool anyFailed() { return !sync().empty(); }

private:
    friend struct X11ErrorTrapRegistry;

    Display* display_;
    std::vector<Failure> failures_;
};

} // namespace vellamor::platform
