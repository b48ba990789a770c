#pragma once

#include <QCoro/QCoroTask>

#include <optional>

namespace vellamor::platform {

// Whether the desktop's accessibility bus is switched on, so that other
// applications publish their text fields to assistive technology.
class AccessibilityStatus {
public:
    virtual ~AccessibilityStatus() = default;

    // At once, never waiting on another program: what the desktop said
    // last; none when it cannot be asked or has not answered yet.
    virtual std::optional<bool> isEnabled() const = 0;

    // Asked anew: the desktop's answer once it came, or what isEnabled()
    // says after it did not in time.
    virtual QCoro::Task<std::optional<bool>> askEnabled() { co_return isEnabled(); }

    // Switches it on without waiting; false when the desktop cannot be asked
    // (a refusal shows in the next answer of isEnabled()).
    // Applications started earlier only notice after a restart.
    virtual bool enable() = 0;
};

} // namespace vellamor::platform
