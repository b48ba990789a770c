#include "FakeAccessibilityBus.h"

#include <gtest/gtest.h>

namespace vellamor::test {

namespace {

class FakeElement final : public platform::AccessibleElement {
};

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

void FakeAccessibilityBus::focus(Field field)
{
    field_ = std::move(field);
    written_ = false;
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
    return std::make_shared<FakeElement>();
}

std::optional<qint64> FakeAccessibilityBus::processId(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("processId");
    return field_ ? field_->processId : std::nullopt;
}

QString FakeAccessibilityBus::toolkitName(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("toolkitName");
    return field_ ? field_->toolkit : QString();
}

bool FakeAccessibilityBus::isEditableText(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("isEditableText");
    return field_ && field_->editable;
}

std::optional<QString> FakeAccessibilityBus::text(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("text");
    if (!field_ || field_->unreadable || (!written_ && field_->unreadableUntilWrite)
        || (written_ && field_->unreadableAfterWrite))
        return std::nullopt;
    return field_->text;
}

std::optional<int> FakeAccessibilityBus::characterCount(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("characterCount");
    if (!field_ || field_->unreadable)
        return std::nullopt;
    return offsetOf(field_->text.size());
}

std::optional<int> FakeAccessibilityBus::caretOffset(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("caretOffset");
    return field_ ? field_->caret : std::nullopt;
}

std::optional<platform::AccessibleRange> FakeAccessibilityBus::selection(const platform::AccessibleElement&)
{
    calls_ << QStringLiteral("selection");
    return field_ ? field_->selection : std::nullopt;
}

int FakeAccessibilityBus::insertText(const platform::AccessibleElement&, int offset, const QString& text, int length)
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
    const qsizetype at = indexOf(offset);
    QString updated = field_->text;
    updated.insert(at, inserted);
    field_->selection.reset();
    accepted(updated);
    field_->caret = offsetOf(std::min<qsizetype>(at + inserted.size(), field_->text.size()));
    return answer();
}

int FakeAccessibilityBus::deleteText(const platform::AccessibleElement&, int start, int end)
{
    calls_ << QStringLiteral("deleteText(%1,%2)").arg(start).arg(end);
    if (!field_)
        return -1;
    if (field_->deleteStatus != 0)
        return field_->deleteStatus;
    const qsizetype from = indexOf(start);
    const qsizetype to = indexOf(end);
    QString updated = field_->text;
    updated.remove(from, std::max<qsizetype>(0, to - from));
    field_->selection.reset();
    accepted(updated);
    field_->caret = start;
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
