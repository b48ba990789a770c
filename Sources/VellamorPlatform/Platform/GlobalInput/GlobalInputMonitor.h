#pragma once

#include "Platform/KeySource/VirtualKeyCode.h"

#include <QPoint>

#include <cstdint>
#include <functional>
#include <optional>

namespace vellamor::platform {

// Notices presses anywhere in the user's session without taking them from
// the application they are meant for: for a window that never takes the
// focus and still has to see Escape or a click elsewhere. Main thread only;
// handlers are called there, in the order the presses happened.
class GlobalInputMonitor {
public:
    using Token = std::uint64_t;
    // Where the pointer was when a left or right button went down, in the
    // application's global (device-independent) coordinates.
    using PointerHandler = std::function<void(QPoint)>;
    // The key that went down. Escape reads as virtualKey::escape whatever
    // key of the layout produces it.
    using KeyHandler = std::function<void(VirtualKeyCode)>;

    virtual ~GlobalInputMonitor() = default;

    // None when the window system offers no such observation; nothing is
    // installed then.
    virtual std::optional<Token> addPointerPressMonitor(PointerHandler handler) = 0;
    virtual std::optional<Token> addKeyPressMonitor(KeyHandler handler) = 0;
    // Stops delivery to that handler at once (also from inside it). Unknown
    // tokens are ignored.
    virtual void removeMonitor(Token token) = 0;
};

} // namespace vellamor::platform
