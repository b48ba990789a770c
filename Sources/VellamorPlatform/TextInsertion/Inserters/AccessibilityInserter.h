#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "TextInsertion/AccessibilityProbing.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/ToolkitTextUnits.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Writes a text into the focused element of another application through the
// accessibility bus: at the caret, replacing the selection, or, when the
// caret is unknown, by setting the field's whole value to its old text with
// the new text inserted. Every write is checked by reading the field back.
// Main thread: the bus calls are synchronous and short.
class AccessibilityInserter final : public AnyInserter {
public:
    // `isTrusted` answers whether the desktop grants accessibility access;
    // `preferKeyboardOverAX` whether the user asked for keystrokes instead.
    AccessibilityInserter(std::shared_ptr<platform::AccessibilityBus> bus, std::function<bool()> isTrusted,
        std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId);

    // Runs insertNow() and finishes.
    QCoro::Task<void> insert(QString text) override;

    // Throws AccessibilityInserterError, checking in this order: access not
    // granted, no focused element, the element is this process's
    // (selfReflective), the field and the text together longer than
    // `accessibleTextLimit` (notSupported), then writes through the caret and
    // selection, or else through the whole value, or throws notSupported.
    void insertNow(const QString& text);

    // None without access; otherwise the bus's focused element.
    std::shared_ptr<platform::AccessibleElement> focusedElement() const;
    // False when the user prefers keystrokes; otherwise whether one of the
    // two ways of writing is open on `element`.
    bool canInsert(const platform::AccessibleElement& element) const;

private:
    bool canWriteAtCaret(const platform::AccessibleElement& element) const;
    bool canWriteValue(const platform::AccessibleElement& element) const;
    // Both throw unanswered when a write got no answer and the text is not
    // in the field yet; else notWritten or failed only when none of the text
    // arrived and the field is as before (at most without its selection), and
    // changedUnexpectedly when it changed otherwise.
    void writeAtCaret(const platform::AccessibleElement& element, const ToolkitTextUnits& units,
        const std::optional<QString>& before, const QString& text);
    void writeValue(const platform::AccessibleElement& element, const ToolkitTextUnits& units, const QString& before,
        const QString& text);

    // Whether a text longer than the element shows went on in the focused
    // element: `after` shows nothing or the text's head up to its end, and
    // the focused element the text's end up to its caret.
    bool continuesElsewhere(const QString& after, const std::optional<QString>& before, const ToolkitTextUnits& units,
        int insertedAt, const QString& text) const;

    std::shared_ptr<platform::AccessibilityBus> bus_;
    std::function<bool()> isTrusted_;
    std::function<bool()> preferKeyboardOverAX_;
    qint64 ownProcessId_;
};

} // namespace vellamor
