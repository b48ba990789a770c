#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"
#include "RecordingInsertionSleep.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace vellamor::test
{

// An accessibility bus with at most one focused text field, which counts the
// way its toolkit does (unless told otherwise): "Qt" fields take offsets and insertion lengths in
// UTF-16 units (and insert nothing for a negative length); every other
// toolkit takes offsets in code points and lengths in UTF-8 bytes (a negative
// length meaning all). Records every call by name. Elements are pages of the
// field (one page unless it has a pageLength): the same page is the same
// element.
class FakeAccessibilityBus final : public platform::AccessibilityBus
{
public:
    struct Field {
        QString toolkit = QStringLiteral("Qt");
        std::optional<qint64> processId = 4242;
        bool editable = true;
        // Says it takes no text (see isReadOnly); editable through the bus then neither.
        bool readOnly = false;
        QString text;
        // In the toolkit's offsets; none: the caret is unknown.
        std::optional<int> caret = 0;
        std::optional<platform::AccessibleRange> selection {};
        // text() answers nothing (always, before the first write, or from it on).
        bool unreadable = false;
        bool unreadableUntilWrite = false;
        bool unreadableAfterWrite = false;
        // The status each kind of write answers; non-zero writes nothing.
        int insertStatus = 0;
        int deleteStatus = 0;
        int setStatus = 0;
        // Every write is applied but answers `unanswered`, as from a target
        // that took longer than the call's time-out.
        bool answersLate = false;
        // Applied to the field's text after every accepted write (a length
        // limit, an input mask); none: kept as written.
        std::function<QString(const QString&)> reformat {};
        // An insertion leaves the caret where it was, before the text (GTK 4).
        bool caretStaysOnInsert = false;
        // Offsets and the character count in UTF-16 units whatever the
        // toolkit says, insertion lengths as the toolkit (LibreOffice).
        bool utf16Offsets = false;
        // Shown as one element per page of this many UTF-16 units, as
        // LibreOffice Writer shows a long paragraph: an element's text, count
        // and offsets are its page's, and the focused one is the page the
        // caret ends. None: one element for all of it.
        std::optional<qsizetype> pageLength {};
        // A caret on a page break is at the start of the page after it, not
        // at the end of the page before.
        bool caretOnNextPage = false;
        // The first page shows this many characters until the first write
        // (its last line had room left), then pageLength as the others: a
        // write at the second page's start puts the text's head on it.
        std::optional<qsizetype> firstPageLength {};
        // The element an insertion went to shows nothing afterwards (Writer
        // lays the pages out anew), or answers nothing (Writer replaced it).
        bool emptiedAfterInsert = false;
        bool goneAfterInsert = false;
        // The focus stays on the page an insertion went to for this long
        // after it (on clock()), as Writer moves it to the caret's page only
        // once it has laid the pages out. None: at once.
        std::optional<std::chrono::milliseconds> focusMovesAfter {};
        // An accepted write shows this long after it (on clock()), as from a
        // target that applies it later; none: at once. Never: it is accepted
        // and never applied (Firefox).
        std::optional<std::chrono::milliseconds> showsWritesAfter {};
        bool neverShowsWrites = false;
        // After the first write the focus is on another element (of
        // `processId`), showing `text` with the caret at `caret`.
        struct Elsewhere {
            QString text;
            int caret = 0;
            std::optional<qint64> processId;
        };
        std::optional<Elsewhere> focusAfterWrite {};
    };

    // `clock` is the inserters' virtual time, which focusMovesAfter counts in.
    explicit FakeAccessibilityBus(std::shared_ptr<FakeInsertionClock> clock = std::make_shared<FakeInsertionClock>());

    const std::shared_ptr<FakeInsertionClock>& clock() const { return clock_; }

    // Every call that reaches the application takes this long on clock(),
    // as with a busy target.
    void setCallDuration(std::chrono::milliseconds duration) { callDuration_ = duration; }

    // Focuses a field and forgets the calls so far; clearFocus() leaves
    // nothing focused.
    void focus(Field field);
    void clearFocus();

    // The focused field as it is now (the test fails without one).
    Field& field();

    const QStringList& calls() const { return calls_; }
    // Calls that change the text: "insertText(...)", "deleteText(...)", "setTextContents(...)".
    QStringList writes() const;

    QCoro::Task<Element> focusedElement() override;
    std::optional<qint64> processId(const platform::AccessibleElement& element) override;
    bool isSameElement(const platform::AccessibleElement& first, const platform::AccessibleElement& second) override;
    QCoro::Task<QString> toolkitName(Element element) override;
    QCoro::Task<bool> isEditableText(Element element) override;
    QCoro::Task<bool> isReadOnly(Element element) override;
    QCoro::Task<std::optional<QString>> text(Element element) override;
    QCoro::Task<std::optional<int>> characterCount(Element element) override;
    QCoro::Task<std::optional<int>> caretOffset(Element element) override;
    // The page before and the page after, for a field in pages.
    QCoro::Task<Element> flowsFrom(Element element) override;
    QCoro::Task<Element> flowsTo(Element element) override;
    // A field in pages shows each page its share of the selection, as Writer does.
    QCoro::Task<std::optional<platform::AccessibleRange>> selection(Element element) override;
    QCoro::Task<bool> setCaretOffset(Element element, int offset) override;
    QCoro::Task<int> insertText(Element element, int offset, QString text, int length) override;
    QCoro::Task<int> deleteText(Element element, int start, int end) override;
    QCoro::Task<int> setTextContents(Element element, QString text) override;

private:
    // The answers, given at once; each call records itself and spends callDuration_.
    Element focusedNow();
    std::optional<QString> textNow(const platform::AccessibleElement& element);
    std::optional<int> characterCountNow(const platform::AccessibleElement& element);
    int insertNow(const platform::AccessibleElement& element, int offset, const QString& text, int length);
    int deleteNow(const platform::AccessibleElement& element, int start, int end);
    int setNow(const QString& text);
    void call(const QString& name);
    // The text as the application shows it: before a write that shows late, the old one.
    const QString& shownText() const;

    bool isQt() const;
    bool countsUtf16() const;
    qsizetype indexOf(int offset) const;
    int offsetOf(qsizetype index) const;
    void accepted(const QString& text);
    int answer() const;
    // Where the element's page starts and ends, as an index into the text and in the toolkit's offsets.
    qsizetype startOfPage(qsizetype page) const;
    qsizetype pageStart(const platform::AccessibleElement& element) const;
    qsizetype pageEnd(const platform::AccessibleElement& element) const;
    // The page the caret at `caret`, an index into the text, is on.
    qsizetype pageAt(qsizetype caret) const;
    int pageOffset(const platform::AccessibleElement& element) const;

    std::shared_ptr<FakeInsertionClock> clock_;
    std::chrono::milliseconds callDuration_ { 0 };
    std::optional<Field> field_;
    // What the field showed before its last accepted write, while that does not show yet.
    std::optional<QString> unshownBefore_;
    std::chrono::milliseconds writtenAt_ { 0 };
    bool written_ = false;
    // The page the last insertion went to, and when.
    std::optional<qsizetype> insertedPage_;
    std::chrono::milliseconds insertedAt_ { 0 };
    QStringList calls_;
};

// `f` with one more property set.
template <typename T>
FakeAccessibilityBus::Field with(FakeAccessibilityBus::Field f, T FakeAccessibilityBus::Field::*property,
                                 std::type_identity_t<T> value)
{
    f.*property = std::move(value);
    return f;
}

} // namespace vellamor::test
