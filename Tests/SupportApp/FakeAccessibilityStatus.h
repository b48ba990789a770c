#pragma once

#include "Platform/AccessibilityStatus/AccessibilityStatus.h"

namespace vellamor::test {

// An accessibility switch the test sets; enable() flips it on unless told
// to refuse. Counts the requests.
class FakeAccessibilityStatus final : public platform::AccessibilityStatus {
public:
    explicit FakeAccessibilityStatus(std::optional<bool> enabled) : enabled(enabled) {}

    std::optional<bool> isEnabled() const override { return enabled; }

    bool enable() override
    {
        ++enables;
        if (refuses || !enabled)
            return false;
        enabled = true;
        return true;
    }

    std::optional<bool> enabled;
    bool refuses = false;
    int enables = 0;
};

} // namespace vellamor::test
