#include "TextInsertion/Inserters/AccessibilityInserter.h"

#include "TextInsertion/Inserters/AccessibilityInserterError.h"

#include <algorithm>
#include <optional>

namespace vellamor {

namespace {

using platform::AccessibleElement;
using platform::AccessibleRange;

// The run the new text replaces: the selection when there is one, else the
// empty run at `fallbackOffset`.
AccessibleRange replacedRange(const std::optional<AccessibleRange>& selection, int fallbackOffset)
{
    if (selection && selection->start != selection->end)
        return { std::min(selection->start, selection->end), std::max(selection->start, selection->end) };
    return { fallbackOffset, fallbackOffset };
}

QString spliced(const QString& before, const ToolkitTextUnits& units, const AccessibleRange& range, const QString& text)
{
    return before.left(units.indexOf(before, range.start)) + text + before.mid(units.indexOf(before, range.end));
}

} // namespace

AccessibilityInserter::AccessibilityInserter(std::shared_ptr<platform::AccessibilityBus> bus,
    std::function<bool()> isTrusted, std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId,
    InsertionSleep sleep, InsertionClock clock)
    : bus_(std::move(bus))
    , isTrusted_(std::move(isTrusted))
    , preferKeyboardOverAX_(std::move(preferKeyboardOverAX))
    , ownProcessId_(ownProcessId)
    , sleep_(std::move(sleep))
    , clock_(std::move(clock))
{
}

std::optional<qsizetype> AccessibilityInserter::Write::textEnd(const QString& after) const
{
    if (before && after == *before)
        return std::nullopt;
    const qsizetype at = units.indexOf(after, insertedAt);
    if (after.mid(at, text.size()) != text)
        return std::nullopt;
    if (expected && after.left(at) != expected->left(units.indexOf(*expected, insertedAt)))
        return std::nullopt;
    return at + text.size();
}

QString AccessibilityInserter::Write::following() const
{
    return expected->mid(units.indexOf(*expected, insertedAt) + text.size()) + nextPage;
}

std::optional<QString> AccessibilityInserter::Write::shownHead(const QString& after) const
{
    if (after.isEmpty())
        return QString();
    const qsizetype at = units.indexOf(after, insertedAt);
    QString head = after.mid(at);
    if (head.size() >= text.size() || !text.startsWith(head)
        || expected->left(units.indexOf(*expected, insertedAt)) != after.left(at))
        return std::nullopt;
    return head;
}

QCoro::Task<AccessibilityInserter::Element> AccessibilityInserter::focusedElement() const
{
    if (!isTrusted_ || !isTrusted_())
        co_return Element();
    co_return co_await bus_->focusedElement();
}

QCoro::Task<bool> AccessibilityInserter::canInsert(Element element) const
{
    if ((preferKeyboardOverAX_ && preferKeyboardOverAX_()) || !co_await bus_->isEditableText(element))
        co_return false;
    const auto caret = co_await bus_->caretOffset(element);
    co_return (caret && *caret >= 0) || (co_await bus_->text(element)).has_value();
}

QCoro::Task<void> AccessibilityInserter::insert(QString text)
{
    if (!isTrusted_ || !isTrusted_())
        throw AccessibilityInserterError::notTrusted();
    const auto element = co_await bus_->focusedElement();
    if (!element)
        throw AccessibilityInserterError::noFocus();
    const auto pid = bus_->processId(*element);
    if (pid && *pid == ownProcessId_)
        throw AccessibilityInserterError::selfReflective();
    // Its writes would only cost the read-back's wait before the next layer.
    if (pid && unshownWriters_.contains(*pid))
        throw AccessibilityInserterError::notSupported();
    const auto count = co_await bus_->characterCount(element);
    // Reading a huge field back would take its application seconds.
    if (count.value_or(0) + text.size() > accessibleTextLimit)
        throw AccessibilityInserterError::notSupported();
    if (!(preferKeyboardOverAX_ && preferKeyboardOverAX_()) && co_await bus_->isEditableText(element)) {
        const QString toolkit = co_await bus_->toolkitName(element);
        // Firefox accepts every write and applies none (its fields, text
        // areas and editable documents alike), and says nothing of it: the
        // read-back would only wait for the limit before the keys.
        if (toolkit.compare(QLatin1String("Gecko"), Qt::CaseInsensitive) == 0)
            throw AccessibilityInserterError::notSupported();
        const auto before = co_await bus_->text(element);
        const auto units = ToolkitTextUnits::forField(toolkit, before, count);
        if (const auto caret = co_await bus_->caretOffset(element); caret && *caret >= 0) {
            co_await writeAtCaret(element, units, before, *caret, text);
            co_return;
        }
        if (before) {
            co_await writeValue(element, units, *before, text);
            co_return;
        }
    }
    throw AccessibilityInserterError::notSupported();
}

AccessibilityInserterError AccessibilityInserter::unshownWrite(const Element& element, int status)
{
    if (status == platform::AccessibilityBus::unanswered)
        return AccessibilityInserterError::unanswered();
    if (const auto pid = bus_->processId(*element))
        unshownWriters_.insert(*pid);
    return AccessibilityInserterError::unshown();
}

QCoro::Task<void> AccessibilityInserter::writeAtCaret(
    Element element, ToolkitTextUnits units, std::optional<QString> before, int caret, QString text)
{
    const auto range = replacedRange(co_await bus_->selection(element), caret);
    const Element next = co_await bus_->flowsTo(element);
    // Writer shows each page its share of a selection that goes on past a
    // page break (all of it after Ctrl+A, also when read before the key that
    // ended the selection was handled): deleting the share would take the
    // page's text and leave the rest. Keys replace the whole selection, or
    // type at the caret once it has gone.
    if (range.start != range.end && co_await selectionGoesOn(element, next, range, before, units))
        throw AccessibilityInserterError::notSupported();
    Write write { text, units, range.start, before, std::nullopt, QString() };
    if (before) {
        write.expected = spliced(*before, units, range, text);
        write.nextPage = co_await pageText(next);
    }
    int status = 0;
    if (range.start != range.end)
        status = co_await bus_->deleteText(element, range.start, range.end);
    if (status == 0)
        status = co_await bus_->insertText(element, range.start, text, units.lengthForInsert(text));

    const ReadBack read = co_await readBack(element, status, write);
    if (read.arrived) {
        if (read.inElement)
            co_await moveCaretBehind(element, units, *read.after, range.start, text);
        co_return;
    }
    if (!read.after) {
        throwUnreadable(status, before.has_value());
        co_return;
    }
    const QString& after = *read.after;
    // A busy target may take the text still: typing it now could show it twice.
    if (status == platform::AccessibilityBus::unanswered)
        throw unshownWrite(element, status);
    // Typing starts where the selection was; a field that changed in any
    // other way (its page, or the page after it) cannot be put back without
    // rewriting all of it (and its formatting), so the text is left for the
    // user to paste.
    bool untouched = !after.contains(text);
    if (before) {
        untouched = after == *before || after == spliced(*before, units, range, QString());
        untouched = untouched && co_await pageText(co_await bus_->flowsTo(element)) == write.nextPage;
    }
    if (!untouched)
        throw AccessibilityInserterError::changedUnexpectedly();
    if (status == 0)
        throw unshownWrite(element, status);
    throw AccessibilityInserterError::failed(status);
}

// Only reached with a readable value: rebuilding it around the new text keeps
// what the user had typed.
QCoro::Task<void> AccessibilityInserter::writeValue(Element element, ToolkitTextUnits units, QString before, QString text)
{
    const auto range = replacedRange(co_await bus_->selection(element), units.offsetOf(before, before.size()));
    const QString expected = spliced(before, units, range, text);
    const int status = co_await bus_->setTextContents(element, expected);

    const Write write { text, units, range.start, before, expected, QString() };
    const ReadBack read = co_await readBack(element, status, write);
    if (read.arrived)
        co_return;
    if (!read.after) {
        throwUnreadable(status, true);
        co_return;
    }
    // Writing the old value back could land before the late new one.
    if (status == platform::AccessibilityBus::unanswered || (status == 0 && *read.after == before))
        throw unshownWrite(element, status);
    if (*read.after != before) {
        co_await bus_->setTextContents(element, before);
        if (co_await bus_->text(element) != before)
            throw AccessibilityInserterError::changedUnexpectedly();
    }
    if (status != 0)
        throw AccessibilityInserterError::failed(status);
    throw AccessibilityInserterError::notWritten();
}

void AccessibilityInserter::throwUnreadable(int status, bool readBefore)
{
    if (status == platform::AccessibilityBus::unanswered)
        throw AccessibilityInserterError::unanswered();
    // Read before and not after: it may be gone with its text (Writer's page
    // emptied by the write), and typing could show the text twice.
    if (readBefore)
        throw AccessibilityInserterError::changedUnexpectedly();
    // A field that never could be read is taken at the toolkit's word: the
    // next layer might type the text a second time.
    if (status != 0)
        throw AccessibilityInserterError::failed(status);
}

QCoro::Task<bool> AccessibilityInserter::selectionGoesOn(Element element, Element next, AccessibleRange range,
    const std::optional<QString>& before, const ToolkitTextUnits& units)
{
    if (next && (!before || range.end >= units.offsetOf(*before, before->size())))
        co_return true;
    co_return range.start == 0 && co_await bus_->flowsFrom(element);
}

QCoro::Task<QString> AccessibilityInserter::pageText(Element page)
{
    if (!page)
        co_return QString();
    co_return (co_await bus_->text(page)).value_or(QString());
}

QCoro::Task<AccessibilityInserter::ReadBack> AccessibilityInserter::readBack(Element element, int status, Write write)
{
    const bool unanswered = status == platform::AccessibilityBus::unanswered;
    const bool mayStillShow = status == 0 || unanswered;
    const auto deadline = clock_() + readBackLimit;
    while (true) {
        auto after = co_await bus_->text(element);
        if (after && co_await shownInElement(element, *after, write))
            co_return ReadBack { std::move(after), true, true };
        // A field that never could be read is not read on; the element
        // written to may be gone (Writer lays its pages out anew) while its
        // pages show the text.
        if (!after && !unanswered && !write.before)
            co_return ReadBack {};
        if (co_await shownAtCaret(element, after, write))
            co_return ReadBack { std::move(after), true, false };
        if (!mayStillShow || clock_() >= deadline)
            co_return ReadBack { std::move(after), false };
        co_await sleep_(std::min(readBackPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_())));
    }
}

// What followed the place may go on past the element's end: a write on a
// page of Writer's paragraph pushes the page's tail onto the next page.
QCoro::Task<bool> AccessibilityInserter::shownInElement(Element element, QString after, const Write& write)
{
    if (write.expected && after == *write.expected)
        co_return true;
    const auto end = write.textEnd(after);
    if (!end)
        co_return false;
    if (!write.expected)
        co_return true;
    co_return co_await followedBy(element, after.mid(*end), write.following());
}

QCoro::Task<bool> AccessibilityInserter::followedBy(Element page, QString tail, QString following)
{
    for (int hop = 0; tail.size() < following.size() && following.startsWith(tail) && hop < pageLimit; ++hop) {
        page = co_await bus_->flowsTo(page);
        if (!page)
            break;
        const auto piece = co_await bus_->text(page);
        if (!piece)
            co_return false;
        tail += *piece;
    }
    co_return tail.startsWith(following);
}

QCoro::Task<void> AccessibilityInserter::moveCaretBehind(
    Element element, ToolkitTextUnits units, QString after, int insertedAt, QString text)
{
    if (co_await bus_->caretOffset(element) != insertedAt)
        co_return;
    const int end = units.offsetOf(after, units.indexOf(after, insertedAt) + text.size());
    co_await bus_->setCaretOffset(element, end);
}

// LibreOffice Writer shows a paragraph longer than a page as one element per
// page, each linked to the page before (flows-from) and the page after
// (flows-to). A write moves text across the page breaks: the element written
// to may show only the text's head, or be gone, and the focus moves, later,
// to the element holding the caret, whose text up to the caret is the text's
// end; a write at a page's start may put the text's head at the end of the
// page before. Counting on the element written to alone would report text
// that went in as lost. The focused element of the same application is
// credited when it and the pages before it show, right before the caret, all
// that stood before the place written to and the whole text, and it and the
// pages after it, from the caret on, what followed the place before. Where a
// focused element other than the one written to names no page before, the
// element written to is taken for it, and only then. An unrelated field whose
// text happens to end like the dictation (a lone "。") must not pass for the
// rest of it, nor a field that keeps a few characters, whose head of the text
// is also its end.
QCoro::Task<bool> AccessibilityInserter::shownAtCaret(
    Element written, std::optional<QString> after, const Write& write)
{
    if (!write.expected)
        co_return false;
    const auto focused = co_await bus_->focusedElement();
    if (!focused)
        co_return false;
    const bool elsewhere = !bus_->isSameElement(*focused, *written);
    auto shown = after;
    if (elsewhere) {
        if (after && !write.shownHead(*after))
            co_return false;
        const auto writer = bus_->processId(*written);
        if (!writer || bus_->processId(*focused) != writer)
            co_return false;
        shown = co_await bus_->text(focused);
    }
    const auto caret = co_await bus_->caretOffset(focused);
    if (!shown || !caret)
        co_return false;
    const qsizetype end = write.units.indexOf(*shown, *caret);
    if (end <= 0)
        co_return false;
    const QString& expected = *write.expected;
    const QString wanted = expected.left(write.units.indexOf(expected, write.insertedAt)) + write.text;
    QString pieces = shown->left(end);
    Element page = focused;
    for (int hop = 0; pieces.size() < wanted.size() && hop < pageLimit; ++hop) {
        page = co_await bus_->flowsFrom(page);
        if (!page) {
            if (elsewhere && hop == 0 && after)
                pieces.prepend(*after);
            break;
        }
        const auto piece = co_await bus_->text(page);
        if (!piece)
            co_return false;
        pieces.prepend(*piece);
    }
    if (!pieces.endsWith(wanted))
        co_return false;
    // Past the caret it shows what followed the place before, if anything did.
    const QString following = write.following();
    const QString rest = shown->mid(end);
    if (following.isEmpty())
        co_return rest.isEmpty();
    co_return co_await followedBy(focused, rest, following);
}

} // namespace vellamor
