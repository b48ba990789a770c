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

// Whether the field read back after a write holds the whole text where it
// was written, the field otherwise as before: what preceded the place
// unchanged, and what followed it still right behind the text (a field may
// add to its end: a suffix, an input mask's rest). A write cut short whose
// missing end stood behind the place already, or a text that stood in the
// field before, is no arrival. Without the field as it was, the text at the
// place is taken.
bool arrived(const QString& after, const std::optional<QString>& before, const std::optional<QString>& expected,
    const ToolkitTextUnits& units, int insertedAt, const QString& text)
{
    if (expected && after == *expected)
        return true;
    if (before && after == *before)
        return false;
    const qsizetype at = units.indexOf(after, insertedAt);
    if (after.mid(at, text.size()) != text)
        return false;
    if (!expected)
        return true;
    const qsizetype was = units.indexOf(*expected, insertedAt);
    return after.left(at) == expected->left(was)
        && after.mid(at + text.size()).startsWith(expected->mid(was + text.size()));
}

// The head of `text` that `after`, the element written to, shows after what
// `expected` holds before `insertedAt`, up to its own end: empty when it
// shows nothing; none when it shows anything else (all of the text included).
std::optional<QString> shownHead(const QString& after, const QString& expected, const ToolkitTextUnits& units,
    int insertedAt, const QString& text)
{
    if (after.isEmpty())
        return QString();
    const qsizetype at = units.indexOf(after, insertedAt);
    QString head = after.mid(at);
    if (head.isEmpty() || head.size() >= text.size() || !text.startsWith(head)
        || expected.left(units.indexOf(expected, insertedAt)) != after.left(at))
        return std::nullopt;
    return head;
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
    int status = 0;
    if (range.start != range.end)
        status = co_await bus_->deleteText(element, range.start, range.end);
    if (status == 0)
        status = co_await bus_->insertText(element, range.start, text, units.lengthForInsert(text));

    std::optional<QString> expected;
    if (before)
        expected = spliced(*before, units, range, text);
    const ReadBack read = co_await readBack(element, status, units, before, expected, range.start, text);
    if (read.arrived) {
        if (read.inElement)
            co_await moveCaretBehind(element, units, *read.after, range.start, text);
        co_return;
    }
    // A field that cannot be read back is taken at the toolkit's word: the
    // next layer might type the text a second time.
    if (!read.after) {
        if (status == platform::AccessibilityBus::unanswered)
            throw AccessibilityInserterError::unanswered();
        if (status != 0)
            throw AccessibilityInserterError::failed(status);
        co_return;
    }
    const QString& after = *read.after;
    // A busy target may take the text still: typing it now could show it twice.
    if (status == platform::AccessibilityBus::unanswered)
        throw unshownWrite(element, status);
    // Typing starts where the selection was; a field that changed in any
    // other way cannot be put back without rewriting all of it (and its
    // formatting), so the text is left for the user to paste.
    const bool untouched
        = before ? (after == *before || after == spliced(*before, units, range, QString())) : !after.contains(text);
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

    const ReadBack read = co_await readBack(element, status, units, before, expected, range.start, text);
    if (read.arrived)
        co_return;
    if (!read.after) {
        if (status == platform::AccessibilityBus::unanswered)
            throw AccessibilityInserterError::unanswered();
        if (status != 0)
            throw AccessibilityInserterError::failed(status);
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

QCoro::Task<AccessibilityInserter::ReadBack> AccessibilityInserter::readBack(Element element, int status,
    ToolkitTextUnits units, std::optional<QString> before, std::optional<QString> expected, int insertedAt, QString text)
{
    const bool unanswered = status == platform::AccessibilityBus::unanswered;
    const bool mayStillShow = status == 0 || unanswered;
    const auto deadline = clock_() + readBackLimit;
    while (true) {
        auto after = co_await bus_->text(element);
        if (after && arrived(*after, before, expected, units, insertedAt, text))
            co_return ReadBack { std::move(after), true, true };
        // An answered write to a field that cannot be read is taken at its
        // word; the element an unanswered one went to may be gone (Writer
        // lays its pages out anew) while its pages show the text.
        if (!after && !unanswered)
            co_return ReadBack {};
        if (co_await continuesElsewhere(element, after, expected, units, insertedAt, text))
            co_return ReadBack { std::move(after), true, false };
        if (!mayStillShow || clock_() >= deadline)
            co_return ReadBack { std::move(after), false };
        co_await sleep_(std::min(readBackPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_())));
    }
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
// page, each linked to the page before (flows-from): after a long write the
// element written to shows the text's head or is gone, and the focus moves,
// later, to the element holding the caret, whose text up to the caret is the
// text's end and after it what followed the caret before. Counting on the
// first element alone would report text that went in as lost. The focused
// element of the same application is credited when it and the pages before
// it show, right before the caret, all that stood before the place written
// to and the whole text, with nothing but what followed the caret after it;
// where no page before is named, the element written to is taken for it. An
// unrelated field whose text happens to end like the dictation (a lone "。")
// must not pass for the rest of it. While the focus is still on the element
// written to, that element must show all of the text (arrived()): a field
// that keeps a few characters shows a head of the text that is also its end.
QCoro::Task<bool> AccessibilityInserter::continuesElsewhere(Element written, std::optional<QString> after,
    std::optional<QString> expected, ToolkitTextUnits units, int insertedAt, QString text)
{
    if (!expected || (after && !shownHead(*after, *expected, units, insertedAt, text)))
        co_return false;
    const auto focused = co_await bus_->focusedElement();
    if (!focused || bus_->isSameElement(*focused, *written))
        co_return false;
    const auto writer = bus_->processId(*written);
    if (!writer || bus_->processId(*focused) != writer)
        co_return false;
    const auto shown = co_await bus_->text(focused);
    const auto caret = co_await bus_->caretOffset(focused);
    if (!shown || !caret)
        co_return false;
    const qsizetype end = units.indexOf(*shown, *caret);
    if (end <= 0)
        co_return false;
    const qsizetype at = units.indexOf(*expected, insertedAt);
    const QString wanted = expected->left(at) + text;
    QString pieces = shown->left(end);
    Element page = focused;
    for (int hop = 0; pieces.size() < wanted.size() && hop < pageLimit; ++hop) {
        page = co_await bus_->flowsFrom(page);
        if (!page) {
            if (after)
                pieces.prepend(*after);
            break;
        }
        const auto piece = co_await bus_->text(page);
        if (!piece)
            co_return false;
        pieces.prepend(*piece);
    }
    // Past the caret it shows what followed it before, if anything did.
    const QString following = expected->mid(at + text.size());
    const QString rest = shown->mid(end);
    const bool followed = following.isEmpty() ? rest.isEmpty() : !rest.isEmpty() && following.startsWith(rest);
    co_return pieces.endsWith(wanted) && followed;
}

} // namespace vellamor
