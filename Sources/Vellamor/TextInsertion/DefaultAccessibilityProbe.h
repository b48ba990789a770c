#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "TextInsertion/AccessibilityProbing.h"

#include <functional>
#include <memory>

namespace vellamor {

// Decides before any layer runs whether there is a target at all. False when
// access is not granted, when the user prefers keystrokes, when nothing has
// the focus, or when the focus is in this process; true when the owner of the
// focused element cannot be told. Main thread.
class DefaultAccessibilityProbe final : public AccessibilityProbing {
public:
    DefaultAccessibilityProbe(std::shared_ptr<platform::AccessibilityBus> bus, std::function<bool()> isTrusted,
                              std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId);

    bool isTrustedAndHasFocus() override;

private:
    std::shared_ptr<platform::AccessibilityBus> bus_;
    std::function<bool()> isTrusted_;
    std::function<bool()> preferKeyboardOverAX_;
    qint64 ownProcessId_;
};

} // namespace vellamor
