#pragma once

#include "Logging/VellamorLog.h"
#include "Platform/KeySource/KeySource.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace vellamor::platform {

// The session's key events on X11. Reads XInput 2 raw key events of the root
// window (they reach every listener, whoever holds a keyboard grab) on a
// connection of its own, through a socket notifier on the main thread. A
// custom combination is swallowed with passive grabs on a second connection:
// one per state of Caps Lock and Num Lock. The X server applies a grab to
// exactly its modifiers, so a combination pressed with extra modifiers is
// still observed but not swallowed. Raw events carry no auto-repeat.
//
// Key codes are translated with KeyCodeMapping (X key code = Linux event
// code + 8, as with the evdev rules every current X server uses).
class X11KeySource final : public KeySource {
public:
    // An empty name means the DISPLAY of the environment. A key-down read
    // more than `lateKeyDown` after the key went down (the main thread was
    // busy) is logged with the delay, once per stall, to "hotkey" unless
    // told otherwise.
    explicit X11KeySource(QString displayName = {});
    X11KeySource(QString displayName, VellamorLog log);

    static constexpr std::chrono::milliseconds lateKeyDown{30};
    ~X11KeySource() override;

    X11KeySource(const X11KeySource&) = delete;
    X11KeySource& operator=(const X11KeySource&) = delete;

    void start(const std::optional<KeyGrab>& grab, Sink sink) override;
    void stop() override;
    bool isStarted() const override { return static_cast<bool>(connection_); }
    void setIgnoringSyntheticInput(bool ignoring) override;

private:
    struct Connection;

    QString displayName_;
    VellamorLog log_;
    std::shared_ptr<std::atomic<bool>> ignoringSynthetic_;
    std::shared_ptr<Connection> connection_;
};

} // namespace vellamor::platform
