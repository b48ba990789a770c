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

// Whether the field read back after a write holds the text. A field may
// reformat its content (a length limit, an input mask), so besides the exact
// expected value it is enough to find the text where it was inserted, as
// long as the field changed at all.
bool arrived(const QString& after, const std::optional<QString>& before, const std::optional<QString>& expected,
    const ToolkitTextUnits& units, int insertedAt, const QString& text)
{
    if (expected && after == *expected)
        return true;
    if (before && after == *before)
        return false;
    return after.mid(units.indexOf(after, insertedAt), text.size()) == text;
}

// Whether `after` is empty, or `before` up to `insertedAt` followed by a
// head of `text` that ends where the element's text ends.
bool showsNothingOrTheHead(const QString& after, const std::optional<QString>& before, const ToolkitTextUnits& units,
    int insertedAt, const QString& text)
{
    if (after.isEmpty())
        return true;
    const qsizetype at = units.indexOf(after, insertedAt);
    const QString head = after.mid(at);
    if (head.isEmpty() || head.size() >= text.size() || !text.startsWith(head))
        return false;
    return !before || before->left(units.indexOf(*before, insertedAt)) == after.left(at);
}

} // namespace

AccessibilityInserter::AccessibilityInserter(std::shared_ptr<platform::AccessibilityBus> bus,
    std::function<bool()> isTrusted, std::function<bool()> preferKeyboardOverAX, qint64 ownProcessId,
    InsertionSleep sleep)
    : bus_(std::move(bus))
    , isTrusted_(std::move(isTrusted))
    , preferKeyboardOverAX_(std::move(preferKeyboardOverAX))
    , ownProcessId_(ownProcessId)
    , sleep_(std::move(sleep))
{
}

std::shared_ptr<AccessibleElement> AccessibilityInserter::focusedElement() const
{
    if (!isTrusted_ || !isTrusted_())
        return nullptr;
    return bus_->focusedElement();
}

bool AccessibilityInserter::canInsert(const AccessibleElement& element) const
{
    if (preferKeyboardOverAX_ && preferKeyboardOverAX_())
        return false;
    return canWriteAtCaret(element) || canWriteValue(element);
}

bool AccessibilityInserter::canWriteAtCaret(const AccessibleElement& element) const
{
    if (!bus_->isEditableText(element))
        return false;
    const auto caret = bus_->caretOffset(element);
    return caret && *caret >= 0;
}

bool AccessibilityInserter::canWriteValue(const AccessibleElement& element) const
{
    return bus_->isEditableText(element) && bus_->text(element).has_value();
}

QCoro::Task<void> AccessibilityInserter::insert(QString text)
{
    if (!isTrusted_ || !isTrusted_())
        throw AccessibilityInserterError::notTrusted();
    const auto element = bus_->focusedElement();
    if (!element)
        throw AccessibilityInserterError::noFocus();
    if (const auto pid = bus_->processId(*element); pid && *pid == ownProcessId_)
        throw AccessibilityInserterError::selfReflective();
    const auto count = bus_->characterCount(*element);
    // Reading a huge field back would hold this thread for seconds.
    if (count.value_or(0) + text.size() > accessibleTextLimit)
        throw AccessibilityInserterError::notSupported();
    if (!(preferKeyboardOverAX_ && preferKeyboardOverAX_()) && bus_->isEditableText(*element)) {
        const auto before = bus_->text(*element);
        const auto units = ToolkitTextUnits::forField(bus_->toolkitName(*element), before, count);
        if (canWriteAtCaret(*element)) {
            co_await writeAtCaret(element, units, before, text);
            co_return;
        }
        if (before) {
            co_await writeValue(element, units, *before, text);
            co_return;
        }
    }
    throw AccessibilityInserterError::notSupported();
}

QCoro::Task<void> AccessibilityInserter::writeAtCaret(
    std::shared_ptr<AccessibleElement> element, ToolkitTextUnits units, std::optional<QString> before, QString text)
{
    const auto range = replacedRange(bus_->selection(*element), bus_->caretOffset(*element).value_or(0));
    int status = 0;
    if (range.start != range.end)
        status = bus_->deleteText(*element, range.start, range.end);
    if (status == 0)
        status = bus_->insertText(*element, range.start, text, units.lengthForInsert(text));

    std::optional<QString> expected;
    if (before)
        expected = spliced(*before, units, range, text);
    const ReadBack read = co_await readBack(element, status, units, before, expected, range.start, text);
    // A field that cannot be read back is taken at the toolkit's word: the
    // next layer might type the text a second time.
    if (!read.after) {
        if (status == platform::AccessibilityBus::unanswered)
            throw AccessibilityInserterError::unanswered();
        if (status != 0)
            throw AccessibilityInserterError::failed(status);
        co_return;
    }
    if (read.arrived)
        co_return;
    const QString& after = *read.after;
    // A busy target may take the text still.
    if (status == platform::AccessibilityBus::unanswered)
        throw AccessibilityInserterError::unanswered();
    // Typing starts where the selection was; a field that changed in any
    // other way cannot be put back without rewriting all of it (and its
    // formatting), so the text is left for the user to paste.
    const bool untouched
        = before ? (after == *before || after == spliced(*before, units, range, QString())) : !after.contains(text);
    if (!untouched)
        throw AccessibilityInserterError::changedUnexpectedly();
    if (status != 0)
        throw AccessibilityInserterError::failed(status);
    throw AccessibilityInserterError::notWritten();
}

// Only reached with a readable value: rebuilding it around the new text keeps
// what the user had typed.
QCoro::Task<void> AccessibilityInserter::writeValue(
    std::shared_ptr<AccessibleElement> element, ToolkitTextUnits units, QString before, QString text)
{
    const auto range = replacedRange(bus_->selection(*element), units.offsetOf(before, before.size()));
    const QString expected = spliced(before, units, range, text);
    const int status = bus_->setTextContents(*element, expected);

    const ReadBack read = co_await readBack(element, status, units, before, expected, range.start, text);
    if (!read.after) {
        if (status == platform::AccessibilityBus::unanswered)
            throw AccessibilityInserterError::unanswered();
        if (status != 0)
            throw AccessibilityInserterError::failed(status);
        co_return;
    }
    if (read.arrived)
        co_return;
    // Writing the old value back could land before the late new one.
    if (status == platform::AccessibilityBus::unanswered)
        throw AccessibilityInserterError::unanswered();
    if (*read.after != before) {
        bus_->setTextContents(*element, before);
        if (bus_->text(*element) != before)
            throw AccessibilityInserterError::changedUnexpectedly();
    }
    if (status != 0)
        throw AccessibilityInserterError::failed(status);
    throw AccessibilityInserterError::notWritten();
}

QCoro::Task<AccessibilityInserter::ReadBack> AccessibilityInserter::readBack(
    std::shared_ptr<AccessibleElement> element, int status, ToolkitTextUnits units, std::optional<QString> before,
    std::optional<QString> expected, int insertedAt, QString text)
{
    const bool mayStillShow = status == 0 || status == platform::AccessibilityBus::unanswered;
    for (std::chrono::milliseconds waited { 0 };; waited += readBackPoll) {
        auto after = bus_->text(*element);
        if (!after)
            co_return ReadBack {};
        if (arrived(*after, before, expected, units, insertedAt, text)
            || continuesElsewhere(*element, *after, before, units, insertedAt, text))
            co_return ReadBack { std::move(after), true };
        if (!mayStillShow || waited >= readBackLimit)
            co_return ReadBack { std::move(after), false };
        co_await sleep_(readBackPoll);
    }
}

// LibreOffice Writer shows a paragraph longer than a page as one element per
// page, each with its part of the text: after a long write the element
// written to ends with the text's head, or is emptied (or gone) as the pages
// are laid out anew, and the focus moves, later, to the element holding the
// caret, whose text up to the caret is the text's end. Counting on the first
// element alone would report text that went in as lost, and a paste after it
// would show it twice. While the focus is still on the element written to,
// that element must show all of the text (arrived()): a field that keeps a
// few characters shows a head of the text that is also its end.
bool AccessibilityInserter::continuesElsewhere(const AccessibleElement& written, const QString& after,
    const std::optional<QString>& before, const ToolkitTextUnits& units, int insertedAt, const QString& text) const
{
    if (!showsNothingOrTheHead(after, before, units, insertedAt, text))
        return false;
    const auto focused = bus_->focusedElement();
    if (!focused || bus_->isSameElement(*focused, written))
        return false;
    const auto shown = bus_->text(*focused);
    const auto caret = bus_->caretOffset(*focused);
    if (!shown || !caret)
        return false;
    const qsizetype end = units.indexOf(*shown, *caret);
    return end > 0 && end <= text.size() && shown->left(end) == text.right(end);
}

} // namespace vellamor
