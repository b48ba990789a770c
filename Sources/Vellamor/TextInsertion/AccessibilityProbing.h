#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// What a text can be written into, asked before any layer runs.
enum class FocusTarget {
    // Nothing: no access, the user prefers keystrokes, no window has the
    // focus, or this application's own window has it.
    none,
    // Another application's element that has the focus on the accessibility bus.
    element,
    // Another application's window that has the input focus, with nothing
    // focused on the bus (a terminal, a browser that shows no fields there).
    window,
};

class AccessibilityProbing {
public:
    virtual ~AccessibilityProbing() = default;

    virtual FocusTarget focusTarget() = 0;

    // The whole text of the element that has the focus; none when there is
    // none or the bus cannot read it.
    virtual std::optional<QString> focusedText() = 0;
};

} // namespace vellamor
