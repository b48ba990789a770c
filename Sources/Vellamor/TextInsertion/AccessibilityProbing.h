#pragma once

namespace vellamor {

// Whether the accessibility layer has something to write into: access is
// granted and another application's element has the focus.
class AccessibilityProbing {
public:
    virtual ~AccessibilityProbing() = default;

    virtual bool isTrustedAndHasFocus() = 0;
};

} // namespace vellamor
