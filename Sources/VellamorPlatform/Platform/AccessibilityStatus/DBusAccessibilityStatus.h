#pragma once

#include "Platform/AccessibilityStatus/AccessibilityStatus.h"

#include <chrono>

namespace vellamor::platform {

// AT-SPI's switch, the IsEnabled property of org.a11y.Status on the session
// bus (served by the accessibility bus launcher).
class DBusAccessibilityStatus final : public AccessibilityStatus {
public:
    explicit DBusAccessibilityStatus(std::chrono::milliseconds timeout = std::chrono::seconds(2));

    std::optional<bool> isEnabled() const override;
    bool enable() override;

private:
    std::chrono::milliseconds timeout_;
};

} // namespace vellamor::platform
