#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "TextInsertion/AccessibilityProbing.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/ToolkitTextUnits.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace vellamor {

// Writes a text into the focused element of another application through the
// accessibility bus: at the caret, replacing the selection, or, when the
// caret is unknown, by setting the field's whole value to its old text with
// the new text inserted. Every write is checked by reading the field back,
// again every `readBackPoll` until the whole text shows where it was written
// or `readBackLimit` has passed on the clock (the bus's calls count): a
// target may show a write, answered or not, seconds after it took it. A
// write the target accepted that has not shown then is not written again by
// any layer; its application gets no more writes through the bus for the
// inserter's life (Firefox accepts them and never applies them). Main
// thread: every bus call is awaited.
class AccessibilityInserter final : public AnyInserter {
public:
    using Element = platform::AccessibilityBus::Element;

    // Writer moves the focus to the element holding the caret some time after
    // it answered a long write (a single read 30 to 180 ms after the write
    // came too early), and answered 8,000 characters in one paragraph only
    // after the call's time-out on a loaded machine; a GTK field showed an
    // accepted write 3 s after it. Only a write that does not show waits the
    // whole time, and its text is then left on the clipboard anyway.
    static constexpr std::chrono::milliseconds readBackLimit { 5000 };
    static constexpr std::chrono::milliseconds readBackPoll { 50 };
    // Pages of one paragraph read before the caret's, at most (Writer shows
    // about 3,600 characters on a page).
    static constexpr int pageLimit = 16;

    // `isTrusted` answers whether the desktop grants accessibility access;
    // `preferKeyboardOverAX` whether the user asked for keystrokes instead.
    AccessibilityInserter(std::shared_ptr<platform::AccessibilityBus> bus, std::function<bool()> isTrusted,
        std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId, InsertionSleep sleep = eventLoopSleep(),
        InsertionClock clock = std::chrono::steady_clock::now);

    // Throws AccessibilityInserterError, checking in this order: access not
    // granted, no focused element, the element is this process's
    // (selfReflective), its application left an accepted write unshown
    // before, is Firefox, or the field and the text together are longer than
    // `accessibleTextLimit` (notSupported), then writes through the caret and
    // selection, or else through the whole value, or throws notSupported. A
    // caret left in front of the text written at it (GTK 4) is moved behind
    // it, where the next text goes.
    QCoro::Task<void> insert(QString text) override;

    // None without access; otherwise the bus's focused element.
    QCoro::Task<Element> focusedElement() const;
    // False when the user prefers keystrokes; otherwise whether one of the
    // two ways of writing is open on `element`.
    QCoro::Task<bool> canInsert(Element element) const;

private:
    // A write and what the element written to should show after it.
    struct Write {
        QString text;
        ToolkitTextUnits units;
        // Where the text went, in the element's offsets.
        int insertedAt = 0;
        // The element's text before the write, and with the text in place;
        // none when it could not be read.
        std::optional<QString> before;
        std::optional<QString> expected;
        // What the page after the element held, where its text flowed on to
        // one (Writer's paragraph over a page break).
        QString nextPage;

        // Where the text ends in `after`, the element written to, when it
        // shows the whole text at its place with what preceded the place
        // unchanged; none otherwise (a text that stood there before is no
        // arrival).
        std::optional<qsizetype> textEnd(const QString& after) const;
        // What followed the place before the write, up to the end of the
        // page after the element's. Needs `expected`.
        QString following() const;
        // The head of the text that `after` shows behind what preceded the
        // place, up to its own end: empty when it shows nothing (a write at
        // a page's end); none when it shows anything else (all of the text
        // included). Needs `expected`.
        std::optional<QString> shownHead(const QString& after) const;
    };

    // What the field showed when the text was seen in it (`arrived`), or
    // when the read-back gave up; none when it cannot be read.
    struct ReadBack {
        std::optional<QString> after;
        bool arrived = false;
        // Where it arrived: in the element written to, else in the focused one.
        bool inElement = false;
    };

    // Both throw unanswered when a write got no answer and the text has not
    // shown by the read-back's end, unshown when the target accepted it and
    // it has not shown; else notWritten or failed only when none of the text arrived
    // and the field is as before (at most without its selection), and
    // changedUnexpectedly when it changed otherwise.
    QCoro::Task<void> writeAtCaret(
        Element element, ToolkitTextUnits units, std::optional<QString> before, int caret, QString text);
    QCoro::Task<void> writeValue(Element element, ToolkitTextUnits units, QString before, QString text);
    // GTK 4 leaves the caret where `text` went in, in front of it.
    QCoro::Task<void> moveCaretBehind(Element element, ToolkitTextUnits units, QString after, int insertedAt, QString text);
    // Throws what a write answered `status` is when the field cannot be read
    // after it; returns for one taken at the toolkit's word.
    static void throwUnreadable(int status, bool readBefore);
    // The error for a write answered `status` that did not show; notes an
    // application whose accepted write did not.
    AccessibilityInserterError unshownWrite(const Element& element, int status);

    // Whether `range`, the element's share of a selection, goes on past a
    // page break into the page before it or `next`, the page after it.
    QCoro::Task<bool> selectionGoesOn(Element element, Element next, platform::AccessibleRange range,
        const std::optional<QString>& before, const ToolkitTextUnits& units);
    // The page's text; empty without a page or when it cannot be read.
    QCoro::Task<QString> pageText(Element page);

    // Reads the field written to until the text shows, in it or across its
    // pages; only once after a write the target refused (`status`). An
    // element read before the write is read on while it cannot be read: it
    // may be gone while its pages show the text.
    QCoro::Task<ReadBack> readBack(Element element, int status, Write write);

    // Whether the element written to shows the whole text at its place, what
    // preceded it unchanged and what followed it behind it, read on across
    // the pages after it.
    QCoro::Task<bool> shownInElement(Element element, QString after, const Write& write);
    // Whether `tail`, read on across the pages after `page`, begins with `following`.
    QCoro::Task<bool> followedBy(Element page, QString tail, QString following);
    // Whether the focused element, the one written to or another of the same
    // application, and the pages around it show the text whole at its place
    // up to the caret (see the definition). `after`: what the element written
    // to shows, none when it cannot be read.
    QCoro::Task<bool> shownAtCaret(Element written, std::optional<QString> after, const Write& write);

    std::shared_ptr<platform::AccessibilityBus> bus_;
    std::function<bool()> isTrusted_;
    std::function<bool()> preferKeyboardOverAX_;
    qint64 ownProcessId_;
    InsertionSleep sleep_;
    InsertionClock clock_;
    // Applications that accepted a write and did not show it.
    std::set<qint64> unshownWriters_;
};

} // namespace vellamor
