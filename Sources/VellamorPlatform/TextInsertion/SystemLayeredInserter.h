#pragma once

#include "Permissions/PermissionChecker.h"
#include "Platform/Accessibility/AccessibilityBus.h"
#include "Platform/KeyInjection/KeyInjector.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Settings/UserDefaults.h"
#include "TextInsertion/LayeredInserter.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <functional>
#include <memory>

namespace vellamor {

// Builds the application's layered inserter over the desktop's adapters:
// the accessibility bus, synthetic keys and the clipboards.
class SystemLayeredInserter {
public:
    // `isTrusted`: whether accessibility access is granted (the permission
    // checker's answer). `ignoreSynthetic`: told while keys are injected
    // (the hotkey monitor's flag). "preferKeyboardOverAX" is read from
    // `defaults` at every insertion.
    static LayeredInserter make(std::shared_ptr<platform::AccessibilityBus> bus,
                                std::shared_ptr<platform::KeyInjector> injector,
                                std::shared_ptr<platform::Pasteboard> pasteboard, std::function<bool()> isTrusted,
                                SyntheticInputGuard::Notify ignoreSynthetic, std::shared_ptr<UserDefaults> defaults);

    // Asks `permissions` at every call: the user may switch AT-SPI on or off
    // while the application runs.
    static std::function<bool()> accessibilityTrust(std::shared_ptr<const PermissionChecker> permissions);
};

} // namespace vellamor
