#pragma once

#include "Platform/PlatformAdapters.h"

namespace vellamor::platform {

// The adapters of an X11 desktop session: XInput 2 keys and XTest input,
// the sound server through libpulse, AT-SPI and its switch on the session
// bus, Qt's clipboards, the Secret Service keyring. Call it once, on the
// main thread, after the application object exists: the accessibility bus
// follows the focus and the sound server listens for changes from then on.
class LinuxPlatformFactory {
public:
    LinuxPlatformFactory() = delete;

    static PlatformAdapters make();
};

} // namespace vellamor::platform
