#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "Platform/KeyInjection/KeyInjector.h"
#include "TextInsertion/AccessibilityProbing.h"

#include <functional>
#include <memory>

namespace vellamor {

// Decides before any layer runs whether there is a target at all: none when
// access is not granted or the user prefers keystrokes; the focused element
// of another process (or of an owner the bus cannot tell), told apart when
// it says it is read-only; else the window with the input focus, unless it
// is this process's own or there is none.
// Main thread.
class DefaultAccessibilityProbe final : public AccessibilityProbing {
public:
    DefaultAccessibilityProbe(std::shared_ptr<platform::AccessibilityBus> bus,
                              std::shared_ptr<platform::KeyInjector> injector, std::function<bool()> isTrusted,
                              std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId);

    QCoro::Task<FocusTarget> focusTarget() override;
    QCoro::Task<std::optional<QString>> focusedText() override;

private:
    std::shared_ptr<platform::AccessibilityBus> bus_;
    std::shared_ptr<platform::KeyInjector> injector_;
    std::function<bool()> isTrusted_;
    std::function<bool()> preferKeyboardOverAX_;
    qint64 ownProcessId_;
};

} // namespace vellamor
