#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "TextInsertion/AccessibilityProbing.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/ToolkitTextUnits.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Writes a text into the focused element of another application through the
// accessibility bus: at the caret, replacing the selection, or, when the
// caret is unknown, by setting the field's whole value to its old text with
// the new text inserted. Every write is checked by reading the field back,
// again every `readBackPoll` until the text shows or `readBackLimit` has
// passed: a target may show a write some time after it answered it. Main
// thread: the bus calls are synchronous and short; the waits run the event
// loop.
class AccessibilityInserter final : public AnyInserter {
public:
    // Writer moves the focus to the element holding the caret some time after
    // it answered a long write (a single read 30 to 180 ms after the write
    // came too early). A write that got no answer is given as long again
    // (LayeredInserter).
    static constexpr std::chrono::milliseconds readBackLimit { 2000 };
    static constexpr std::chrono::milliseconds readBackPoll { 50 };

    // `isTrusted` answers whether the desktop grants accessibility access;
    // `preferKeyboardOverAX` whether the user asked for keystrokes instead.
    AccessibilityInserter(std::shared_ptr<platform::AccessibilityBus> bus, std::function<bool()> isTrusted,
        std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId, InsertionSleep sleep = eventLoopSleep());

    // Throws AccessibilityInserterError, checking in this order: access not
    // granted, no focused element, the element is this process's
    // (selfReflective), the field and the text together longer than
    // `accessibleTextLimit` (notSupported), then writes through the caret and
    // selection, or else through the whole value, or throws notSupported.
    QCoro::Task<void> insert(QString text) override;

    // None without access; otherwise the bus's focused element.
    std::shared_ptr<platform::AccessibleElement> focusedElement() const;
    // False when the user prefers keystrokes; otherwise whether one of the
    // two ways of writing is open on `element`.
    bool canInsert(const platform::AccessibleElement& element) const;

private:
    // What the field showed when the text was seen in it (`arrived`), or
    // when the read-back gave up; none when it cannot be read.
    struct ReadBack {
        std::optional<QString> after;
        bool arrived = false;
    };

    bool canWriteAtCaret(const platform::AccessibleElement& element) const;
    bool canWriteValue(const platform::AccessibleElement& element) const;
    // Both throw unanswered when a write got no answer and the text is not
    // in the field yet; else notWritten or failed only when none of the text
    // arrived and the field is as before (at most without its selection), and
    // changedUnexpectedly when it changed otherwise.
    QCoro::Task<void> writeAtCaret(std::shared_ptr<platform::AccessibleElement> element, ToolkitTextUnits units,
        std::optional<QString> before, QString text);
    QCoro::Task<void> writeValue(
        std::shared_ptr<platform::AccessibleElement> element, ToolkitTextUnits units, QString before, QString text);

    // Reads the field written to until the text shows, in it or across its
    // pages; only once after a write the target refused (`status`).
    QCoro::Task<ReadBack> readBack(std::shared_ptr<platform::AccessibleElement> element, int status,
        ToolkitTextUnits units, std::optional<QString> before, std::optional<QString> expected, int insertedAt,
        QString text);

    // Whether a text longer than the element shows went on in another
    // element, the focused one: `after`, read from `written`, shows nothing
    // or the text's head up to its end, and the focused element the text's
    // end up to its caret.
    bool continuesElsewhere(const platform::AccessibleElement& written, const QString& after,
        const std::optional<QString>& before, const ToolkitTextUnits& units, int insertedAt, const QString& text) const;

    std::shared_ptr<platform::AccessibilityBus> bus_;
    std::function<bool()> isTrusted_;
    std::function<bool()> preferKeyboardOverAX_;
    qint64 ownProcessId_;
    InsertionSleep sleep_;
};

} // namespace vellamor
