#include "FakeAccessibilityBus.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vellamor::test
{

namespace
{

class FakeElement final : public platform::AccessibleElement
{
public:
    // The element the focus moves to after a write (Field::focusAfterWrite).
    static constexpr qsizetype elsewhere = -1;

    explicit FakeElement(qsizetype page)
        : page(page)
    {
    }

    bool isElsewhere() const { return page == elsewhere; }

    const qsizetype page;
    mutable bool insertedInto = false;
};

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

FakeAccessibilityBus::FakeAccessibilityBus(std::shared_ptr<FakeInsertionClock> clock)
    : clock_(std::move(clock))
{
}

void FakeAccessibilityBus::call(const QString& name)
{
    calls_ << name;
    clock_->now += callDuration_;
}

const QString& FakeAccessibilityBus::shownText() const
{
    if (unshownBefore_ && field_->showsWritesAfter && clock_->now < writtenAt_ + *field_->showsWritesAfter)
        return *unshownBefore_;
    return field_->text;
}

void FakeAccessibilityBus::focus(Field field)
{
    field_ = std::move(field);
    written_ = false;
    unshownBefore_.reset();
    insertedPage_.reset();
    calls_.clear();
}

void FakeAccessibilityBus::clearFocus()
{
    field_.reset();
}

FakeAccessibilityBus::Field& FakeAccessibilityBus::field()
{
    if (!field_) {
        ADD_FAILURE() << "no field is focused";
        field_.emplace();
    }
    return *field_;
}

QStringList FakeAccessibilityBus::writes() const
{
    QStringList result;
    for (const QString& call : calls_) {
        if (call.startsWith(QStringLiteral("insertText")) || call.startsWith(QStringLiteral("deleteText"))
            || call.startsWith(QStringLiteral("setTextContents")))
            result << call;
    }
    return result;
}

bool FakeAccessibilityBus::isQt() const
{
    return field_ && field_->toolkit == QStringLiteral("Qt");
}

bool FakeAccessibilityBus::countsUtf16() const
{
    return isQt() || (field_ && field_->utf16Offsets);
}

qsizetype FakeAccessibilityBus::indexOf(int offset) const
{
    const QString& text = field_->text;
    if (offset < 0)
        return 0;
    if (countsUtf16())
        return std::min<qsizetype>(offset, text.size());
    qsizetype index = 0;
    for (int i = 0; i < offset && index < text.size(); ++i)
        index += (text.at(index).isHighSurrogate() && index + 1 < text.size()) ? 2 : 1;
    return index;
}

int FakeAccessibilityBus::offsetOf(qsizetype index) const
{
    if (countsUtf16())
        return static_cast<int>(index);
    return static_cast<int>(field_->text.left(index).toUcs4().size());
}

void FakeAccessibilityBus::accepted(const QString& text)
{
    if (field_->showsWritesAfter)
        unshownBefore_ = shownText();
    writtenAt_ = clock_->now;
    field_->text = field_->reformat ? field_->reformat(text) : text;
    written_ = true;
}

QCoro::Task<platform::AccessibilityBus::Element> FakeAccessibilityBus::focusedElement()
{
    co_return focusedNow();
}

platform::AccessibilityBus::Element FakeAccessibilityBus::focusedNow()
{
    call(QStringLiteral("focusedElement"));
    if (!field_)
        return nullptr;
    if (field_->focusAfterWrite && written_)
        return std::make_shared<FakeElement>(FakeElement::elsewhere);
    if (!field_->pageLength)
        return std::make_shared<FakeElement>(0);
    if (insertedPage_ && field_->focusMovesAfter && clock_->now < insertedAt_ + *field_->focusMovesAfter)
        return std::make_shared<FakeElement>(*insertedPage_);
    return std::make_shared<FakeElement>(pageAt(indexOf(field_->caret.value_or(0))));
}

qsizetype FakeAccessibilityBus::startOfPage(qsizetype page) const
{
    qsizetype start = page * *field_->pageLength;
    if (page > 0 && field_->firstPageLength && !written_)
        start = *field_->firstPageLength + (page - 1) * *field_->pageLength;
    return std::min(start, field_->text.size());
}

qsizetype FakeAccessibilityBus::pageAt(qsizetype caret) const
{
    qsizetype page = 0;
    while (startOfPage(page + 1) < field_->text.size()
        && (field_->caretOnNextPage ? startOfPage(page + 1) <= caret : startOfPage(page + 1) < caret))
        ++page;
    return page;
}

qsizetype FakeAccessibilityBus::pageStart(const platform::AccessibleElement& element) const
{
    if (!field_ || !field_->pageLength)
        return 0;
    return startOfPage(static_cast<const FakeElement&>(element).page);
}

qsizetype FakeAccessibilityBus::pageEnd(const platform::AccessibleElement& element) const
{
    if (!field_ || !field_->pageLength)
        return field_ ? field_->text.size() : 0;
    return startOfPage(static_cast<const FakeElement&>(element).page + 1);
}

int FakeAccessibilityBus::pageOffset(const platform::AccessibleElement& element) const
{
    return offsetOf(pageStart(element));
}

std::optional<qint64> FakeAccessibilityBus::processId(const platform::AccessibleElement& element)
{
    calls_ << QStringLiteral("processId");
    if (field_ && static_cast<const FakeElement&>(element).isElsewhere())
        return field_->focusAfterWrite->processId;
    return field_ ? field_->processId : std::nullopt;
}

bool FakeAccessibilityBus::isSameElement(
    const platform::AccessibleElement& first, const platform::AccessibleElement& second)
{
    calls_ << QStringLiteral("isSameElement");
    return static_cast<const FakeElement&>(first).page == static_cast<const FakeElement&>(second).page;
}

QCoro::Task<QString> FakeAccessibilityBus::toolkitName(Element)
{
    call(QStringLiteral("toolkitName"));
    co_return field_ ? field_->toolkit : QString();
}

QCoro::Task<bool> FakeAccessibilityBus::isEditableText(Element)
{
    call(QStringLiteral("isEditableText"));
    co_return field_ && field_->editable && !field_->readOnly;
}

QCoro::Task<bool> FakeAccessibilityBus::isReadOnly(Element)
{
    call(QStringLiteral("isReadOnly"));
    co_return field_ && field_->readOnly;
}

QCoro::Task<std::optional<QString>> FakeAccessibilityBus::text(Element element)
{
    co_return textNow(*element);
}

std::optional<QString> FakeAccessibilityBus::textNow(const platform::AccessibleElement& element)
{
    call(QStringLiteral("text"));
    if (field_ && static_cast<const FakeElement&>(element).isElsewhere())
        return field_->focusAfterWrite->text;
    if (!field_ || field_->unreadable || (!written_ && field_->unreadableUntilWrite)
        || (written_ && field_->unreadableAfterWrite))
        return std::nullopt;
    if (field_->goneAfterInsert && static_cast<const FakeElement&>(element).insertedInto)
        return std::nullopt;
    if (field_->emptiedAfterInsert && static_cast<const FakeElement&>(element).insertedInto)
        return QString();
    const qsizetype start = pageStart(element);
    return shownText().mid(start, field_->pageLength ? pageEnd(element) - start : -1);
}

QCoro::Task<std::optional<int>> FakeAccessibilityBus::characterCount(Element element)
{
    co_return characterCountNow(*element);
}

std::optional<int> FakeAccessibilityBus::characterCountNow(const platform::AccessibleElement& element)
{
    call(QStringLiteral("characterCount"));
    if (!field_ || field_->unreadable)
        return std::nullopt;
    return offsetOf(pageEnd(element)) - offsetOf(pageStart(element));
}

QCoro::Task<std::optional<int>> FakeAccessibilityBus::caretOffset(Element element)
{
    call(QStringLiteral("caretOffset"));
    if (field_ && static_cast<const FakeElement&>(*element).isElsewhere())
        co_return field_->focusAfterWrite->caret;
    if (!field_ || !field_->caret)
        co_return std::nullopt;
    co_return *field_->caret - pageOffset(*element);
}

QCoro::Task<platform::AccessibilityBus::Element> FakeAccessibilityBus::flowsFrom(Element element)
{
    call(QStringLiteral("flowsFrom"));
    const auto& page = static_cast<const FakeElement&>(*element);
    if (!field_ || !field_->pageLength || page.isElsewhere() || page.page == 0)
        co_return Element();
    co_return std::make_shared<FakeElement>(page.page - 1);
}

QCoro::Task<platform::AccessibilityBus::Element> FakeAccessibilityBus::flowsTo(Element element)
{
    call(QStringLiteral("flowsTo"));
    const auto& page = static_cast<const FakeElement&>(*element);
    if (!field_ || !field_->pageLength || page.isElsewhere() || pageEnd(page) >= field_->text.size())
        co_return Element();
    co_return std::make_shared<FakeElement>(page.page + 1);
}

QCoro::Task<std::optional<platform::AccessibleRange>> FakeAccessibilityBus::selection(Element element)
{
    call(QStringLiteral("selection"));
    if (!field_ || !field_->selection)
        co_return std::nullopt;
    const int base = pageOffset(*element);
    platform::AccessibleRange share { field_->selection->start - base, field_->selection->end - base };
    if (!field_->pageLength)
        co_return share;
    const int length = offsetOf(pageEnd(*element)) - base;
    const auto clamped = [length](int offset) { return std::clamp(offset, 0, length); };
    share = { clamped(share.start), clamped(share.end) };
    if (share.start == share.end)
        co_return std::nullopt;
    co_return share;
}

QCoro::Task<bool> FakeAccessibilityBus::setCaretOffset(Element element, int offset)
{
    call(QStringLiteral("setCaretOffset(%1)").arg(offset));
    if (!field_)
        co_return false;
    field_->caret = offset + pageOffset(*element);
    co_return true;
}

QCoro::Task<int> FakeAccessibilityBus::insertText(Element element, int offset, QString text, int length)
{
    co_return insertNow(*element, offset, text, length);
}

int FakeAccessibilityBus::insertNow(const platform::AccessibleElement& element, int offset, const QString& text, int length)
{
    call(QStringLiteral("insertText(%1,%2,%3)").arg(offset).arg(quoted(text)).arg(length));
    if (!field_)
        return -1;
    if (field_->insertStatus != 0)
        return field_->insertStatus;
    if (field_->neverShowsWrites)
        return answer();
    QString inserted;
    if (isQt()) {
        inserted = length < 0 ? QString() : text.left(length);
    } else {
        const QByteArray utf8 = text.toUtf8();
        inserted = QString::fromUtf8(length < 0 ? utf8 : utf8.left(length));
    }
    static_cast<const FakeElement&>(element).insertedInto = true;
    insertedPage_ = static_cast<const FakeElement&>(element).page;
    insertedAt_ = clock_->now;
    const qsizetype at = indexOf(offset + pageOffset(element));
    QString updated = field_->text;
    updated.insert(at, inserted);
    field_->selection.reset();
    accepted(updated);
    if (!field_->caretStaysOnInsert)
        field_->caret = offsetOf(std::min<qsizetype>(at + inserted.size(), field_->text.size()));
    return answer();
}

QCoro::Task<int> FakeAccessibilityBus::deleteText(Element element, int start, int end)
{
    co_return deleteNow(*element, start, end);
}

int FakeAccessibilityBus::deleteNow(const platform::AccessibleElement& element, int start, int end)
{
    call(QStringLiteral("deleteText(%1,%2)").arg(start).arg(end));
    if (!field_)
        return -1;
    if (field_->deleteStatus != 0)
        return field_->deleteStatus;
    if (field_->neverShowsWrites)
        return answer();
    const int base = pageOffset(element);
    const qsizetype from = indexOf(start + base);
    const qsizetype to = indexOf(end + base);
    QString updated = field_->text;
    updated.remove(from, std::max<qsizetype>(0, to - from));
    field_->selection.reset();
    accepted(updated);
    field_->caret = start + base;
    return answer();
}

QCoro::Task<int> FakeAccessibilityBus::setTextContents(Element, QString text)
{
    co_return setNow(text);
}

int FakeAccessibilityBus::setNow(const QString& text)
{
    call(QStringLiteral("setTextContents(%1)").arg(quoted(text)));
    if (!field_)
        return -1;
    if (field_->setStatus != 0)
        return field_->setStatus;
    if (field_->neverShowsWrites)
        return answer();
    field_->selection.reset();
    accepted(text);
    field_->caret = offsetOf(field_->text.size());
    return answer();
}

int FakeAccessibilityBus::answer() const
{
    return field_->answersLate ? unanswered : 0;
}

} // namespace vellamor::test
