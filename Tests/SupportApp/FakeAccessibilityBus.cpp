#include "FakeAccessibilityBus.h"

#include <gtest/gtest.h>

namespace vellamor::test
{

namespace
{

class FakeElement final : public platform::AccessibleElement
{
public:
    explicit FakeElement(qsizetype page)
        : page(page)
    {
    }

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

void FakeAccessibilityBus::focus(Field field)
{
    field_ = std::move(field);
    written_ = false;
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
    field_->text = field_->reformat ? field_->reformat(text) : text;
    written_ = true;
}

std::shared_ptr<platform::AccessibleElement> FakeAccessibilityBus::focusedElement()
{
    calls_ << QStringLiteral("focusedElement");
    if (!field_)
        return nullptr;
    if (!field_->pageLength)
        return std::make_shared<FakeElement>(0);
    if (insertedPage_ && field_->focusMovesAfter && clock_->now < insertedAt_ + *field_->focusMovesAfter)
        return std::make_shared<FakeElement>(*insertedPage_);
    const qsizetype caret = indexOf(field_->caret.value_or(0));
    return std::make_shared<FakeElement>(caret > 0 ? (caret - 1) / *field_->pageLength : 0);
}

qsizetype FakeAccessibilityBus::pageStart(const platform::AccessibleElement& element) const
{
    if (!field_ || !field_->pageLength)
        return 0;
    return std::min(static_cast<const FakeElement&>(element).page * *field_->pageLength, field_->text.size());
}

int FakeAccessibilityBus::pageOffset(const platform::AccessibleElement& element) const
{
    return offsetOf(pageStart(element));
}

std::optional<qint64> FakeAccessibilityBus::processId(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("processId");
    return field_ ? field_->processId : std::nullopt;
}

bool FakeAccessibilityBus::isSameElement(
    const platform::AccessibleElement& first, const platform::AccessibleElement& second)
{
    calls_ << QStringLiteral("isSameElement");
    return static_cast<const FakeElement&>(first).page == static_cast<const FakeElement&>(second).page;
}

QString FakeAccessibilityBus::toolkitName(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("toolkitName");
    return field_ ? field_->toolkit : QString();
}

bool FakeAccessibilityBus::isEditableText(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("isEditableText");
    return field_ && field_->editable && !field_->readOnly;
}

bool FakeAccessibilityBus::isReadOnly(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("isReadOnly");
    return field_ && field_->readOnly;
}

std::optional<QString> FakeAccessibilityBus::text(const platform::AccessibleElement& element)
{
    calls_ << QStringLiteral("text");
    if (!field_ || field_->unreadable || (!written_ && field_->unreadableUntilWrite)
        || (written_ && field_->unreadableAfterWrite))
        return std::nullopt;
    if (field_->emptiedAfterInsert && static_cast<const FakeElement&>(element).insertedInto)
        return QString();
    return field_->text.mid(pageStart(element), field_->pageLength.value_or(-1));
}

std::optional<int> FakeAccessibilityBus::characterCount(const platform::AccessibleElement& element)
{
    calls_ << QStringLiteral("characterCount");
    if (!field_ || field_->unreadable)
        return std::nullopt;
    const qsizetype start = pageStart(element);
    const qsizetype end
        = field_->pageLength ? std::min(start + *field_->pageLength, field_->text.size()) : field_->text.size();
    return offsetOf(end) - offsetOf(start);
}

std::optional<int> FakeAccessibilityBus::caretOffset(const platform::AccessibleElement& element)
{
    calls_ << QStringLiteral("caretOffset");
    if (!field_ || !field_->caret)
        return std::nullopt;
    return *field_->caret - pageOffset(element);
}

std::optional<platform::AccessibleRange> FakeAccessibilityBus::selection(const platform::AccessibleElement& element)
{
    calls_ << QStringLiteral("selection");
    if (!field_ || !field_->selection)
        return std::nullopt;
    const int base = pageOffset(element);
    return platform::AccessibleRange { field_->selection->start - base, field_->selection->end - base };
}

int FakeAccessibilityBus::insertText(
    const platform::AccessibleElement& element, int offset, const QString& text, int length)
{
    calls_ << QStringLiteral("insertText(%1,%2,%3)").arg(offset).arg(quoted(text)).arg(length);
    if (!field_)
        return -1;
    if (field_->insertStatus != 0)
        return field_->insertStatus;
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
    field_->caret = offsetOf(std::min<qsizetype>(at + inserted.size(), field_->text.size()));
    return answer();
}

int FakeAccessibilityBus::deleteText(const platform::AccessibleElement& element, int start, int end)
{
    calls_ << QStringLiteral("deleteText(%1,%2)").arg(start).arg(end);
    if (!field_)
        return -1;
    if (field_->deleteStatus != 0)
        return field_->deleteStatus;
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

int FakeAccessibilityBus::setTextContents(const platform::AccessibleElement&, const QString& text)
{
    calls_ << QStringLiteral("setTextContents(%1)").arg(quoted(text));
    if (!field_)
        return -1;
    if (field_->setStatus != 0)
        return field_->setStatus;
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
