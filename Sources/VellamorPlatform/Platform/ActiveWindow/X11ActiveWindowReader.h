#pragma once

#include "Platform/ActiveWindow/ActiveWindowReader.h"

#include <QByteArray>

namespace vellamor::platform {

// Reads the window manager's _NET_ACTIVE_WINDOW (or, without an EWMH window
// manager, the keyboard focus) on a connection of its own per call.
class X11ActiveWindowReader final : public ActiveWindowReader {
public:
    // An empty display name means $DISPLAY.
    explicit X11ActiveWindowReader(QByteArray displayName = {});

    std::optional<WindowIdentity> activeWindow() override;

private:
    QByteArray displayName_;
};

} // namespace vellamor::platform
