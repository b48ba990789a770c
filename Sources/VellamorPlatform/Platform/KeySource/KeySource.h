#pragma once

#include "Platform/KeySource/KeyEvent.h"
#include "Platform/KeySource/KeyGrab.h"

#include <functional>
#include <optional>

namespace vellamor::platform {

// Observes every key event of the user's session and can swallow one key
// combination. Lives on the main thread; delivers events there, in order.
class KeySource {
public:
    // Receives each event and answers whether it should be swallowed. A
    // source whose window system decides that itself (X11 grabs) ignores the
    // answer. The sink may call stop() and start() again.
    using Sink = std::function<bool(const KeyEvent&)>;

    virtual ~KeySource() = default;

    // Starts observing, and grabs `grab` when given. Throws KeySourceError
    // when the window system refuses (no display, no key observation, the
    // combination already taken); nothing stays installed then. Does nothing
    // while already started.
    virtual void start(const std::optional<KeyGrab>& grab, Sink sink) = 0;

    // Releases the grab and stops delivering at once (also from inside the
    // sink). Safe when not started.
    virtual void stop() = 0;

    virtual bool isStarted() const = 0;

    // While true, key events that the application itself synthesises (on X11:
    // those of the XTest devices) are not delivered. Safe from any thread.
    virtual void setIgnoringSyntheticInput(bool ignoring) = 0;
};

} // namespace vellamor::platform
