#pragma once

#include "Platform/GlobalInput/GlobalInputMonitor.h"

#include <QString>

#include <map>
#include <memory>

namespace vellamor::platform {

// Global presses on X11: XInput 2 raw button and key presses of the root
// window on a connection of its own, read through a socket notifier on the
// main thread. Listen-only: nothing is grabbed, so every press still reaches
// its window. The connection is open only while a monitor is installed, so
// an idle application pays nothing for it.
class X11GlobalInputMonitor final : public GlobalInputMonitor {
public:
    // An empty name means the DISPLAY of the environment.
    explicit X11GlobalInputMonitor(QString displayName = {});
    ~X11GlobalInputMonitor() override;

    X11GlobalInputMonitor(const X11GlobalInputMonitor&) = delete;
    X11GlobalInputMonitor& operator=(const X11GlobalInputMonitor&) = delete;

    std::optional<Token> addPointerPressMonitor(PointerHandler handler) override;
    std::optional<Token> addKeyPressMonitor(KeyHandler handler) override;
    void removeMonitor(Token token) override;

private:
    struct Connection;
    struct Handlers {
        std::map<Token, PointerHandler> pointer;
        std::map<Token, KeyHandler> key;
    };

    bool ensureConnection();

    QString displayName_;
    std::shared_ptr<Handlers> handlers_;
    std::shared_ptr<Connection> connection_;
    Token nextToken_ = 1;
};

} // namespace vellamor::platform
