#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace vellamor {

// The longest text (in UTF-16 units) read from or written to a field through
// the bus. Each call takes the target's time: measured, writing 10,000
// characters into a GTK view took under 10 ms, 100,000 took 5 to 9 s, and
// reading back a Qt text edit holding 2 MB over a second.
inline constexpr qsizetype accessibleTextLimit = 10'000;

// What a text can be written into, asked before any layer runs.
enum class FocusTarget {
    // Nothing: no access, the user prefers keystrokes, no window has the
    // focus, or this application's own window has it.
    none,
    // Another application's element that has the focus on the accessibility bus.
    element,
    // Such an element that says it takes no text (a read-only field): it
    // swallows keys, and may even ask for a pasted text and drop it.
    readOnlyElement,
    // Another application's window that has the input focus, with nothing
    // focused on the bus (a terminal, a browser that shows no fields there).
    window,
};

class AccessibilityProbing {
public:
    virtual ~AccessibilityProbing() = default;

    virtual QCoro::Task<FocusTarget> focusTarget() = 0;

    // The whole text of the element that has the focus; none when there is
    // none, the bus cannot read it, or it is longer than `accessibleTextLimit`.
    virtual QCoro::Task<std::optional<QString>> focusedText() = 0;
};

} // namespace vellamor
