#pragma once

#include "Permissions/PermissionChecker.h"
#include "Settings/UserDefaults.h"
#include "TextInsertion/LayeredInserter.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <functional>
#include <memory>

namespace vellamor {

// Builds the application's layered inserter on the desktop's own services:
// the accessibility bus, XTest keys and the clipboards. Call it once at
// start-up on the main thread: from then on focus changes are tracked.
class SystemLayeredInserter {
public:
    // `isTrusted`: whether accessibility access is granted (the permission
    // checker's answer). `ignoreSynthetic`: told while keys are injected
    // (the hotkey monitor's flag). "preferKeyboardOverAX" is read from `defaults`.
    static LayeredInserter make(std::function<bool()> isTrusted, SyntheticInputGuard::Notify ignoreSynthetic,
                                std::shared_ptr<UserDefaults> defaults = UserDefaults::standard());
    // Trusted while the permission checker reports accessibility as granted.
    static LayeredInserter make(std::shared_ptr<const PermissionChecker> permissions,
                                SyntheticInputGuard::Notify ignoreSynthetic,
                                std::shared_ptr<UserDefaults> defaults = UserDefaults::standard());

    // Asks `permissions` at every call: the user may switch AT-SPI on or off
    // while the application runs.
    static std::function<bool()> accessibilityTrust(std::shared_ptr<const PermissionChecker> permissions);
};

} // namespace vellamor
