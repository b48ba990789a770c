#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <memory>
#include <optional>

namespace vellamor::platform {

// An accessible object of some application, as the bus handed it out. Opaque:
// only the bus that made it can use it.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;
};

// A run of text in the toolkit's own offsets; `end` is exclusive.
struct AccessibleRange {
    int start = 0;
    int end = 0;

    friend bool operator==(const AccessibleRange&, const AccessibleRange&) = default;
};

// The desktop's accessibility service, seen from the text inserter. Offsets
// and lengths are whatever the target's toolkit counts in (Qt: UTF-16 units,
// GTK: code points); callers convert. Every question that reaches another
// application is a coroutine that resumes on the caller's thread once the
// answer is in, or once the call's time-out has passed without one (then it
// answers as the call's failure does): a busy or stopped application never
// holds the caller's thread. Main thread only.
//
// An implementation never calls into this process's own accessibility
// service: on a single thread such a call cannot be answered.
class AccessibilityBus {
public:
    using Element = std::shared_ptr<AccessibleElement>;

    virtual ~AccessibilityBus() = default;

    // The object that has the keyboard focus in the active window, this
    // process's included; none when no application reports one.
    virtual QCoro::Task<Element> focusedElement() = 0;

    // As the element was handed out; none when the bus cannot tell.
    virtual std::optional<qint64> processId(const AccessibleElement& element) = 0;

    // Whether both stand for the same object of the same application (the
    // bus may hand out a new element for each question).
    virtual bool isSameElement(const AccessibleElement& first, const AccessibleElement& second) = 0;

    // As the application reports it ("Qt", "GAIL", "GTK", ...); empty when unknown.
    virtual QCoro::Task<QString> toolkitName(Element element) = 0;

    // Whether the element's text can be edited through the bus.
    virtual QCoro::Task<bool> isEditableText(Element element) = 0;

    // Whether the element says it takes no text: it is read-only, or it is
    // a text field that offers editing and says it is not editable. One that
    // says neither (a terminal showing its screen as text, a document, a
    // field that shows no editing interface) may still take keys or a paste.
    virtual QCoro::Task<bool> isReadOnly(Element element) = 0;

    // The whole text; none when it cannot be read (also when the field
    // answers an empty text while it counts characters).
    virtual QCoro::Task<std::optional<QString>> text(Element element) = 0;

    // The length of the text in the element's own offsets; none when unknown.
    virtual QCoro::Task<std::optional<int>> characterCount(Element element) = 0;

    // None when unknown or unreadable.
    virtual QCoro::Task<std::optional<int>> caretOffset(Element element) = 0;

    // The element whose text flows on into `element`'s, and the one
    // `element`'s text flows on into: LibreOffice Writer shows a paragraph
    // longer than a page as one element per page, each linked to the page
    // before and the page after. None when nothing does or it cannot be read.
    virtual QCoro::Task<Element> flowsFrom(Element element) = 0;
    virtual QCoro::Task<Element> flowsTo(Element element) = 0;

    // The first selected run; none when nothing is selected or it cannot be read.
    virtual QCoro::Task<std::optional<AccessibleRange>> selection(Element element) = 0;

    // Puts the caret at `offset`; false when the element refused or did not answer.
    virtual QCoro::Task<bool> setCaretOffset(Element element, int offset) = 0;

    // The answer of a write that got no answer in time (or whose call failed
    // on the way): the target may still apply it.
    static constexpr int unanswered = -2;

    // These answer 0 on success, `unanswered`, or another non-zero code when
    // the target refused. `length` is in the unit the toolkit expects for insertions.
    virtual QCoro::Task<int> insertText(Element element, int offset, QString text, int length) = 0;
    virtual QCoro::Task<int> deleteText(Element element, int start, int end) = 0;
    virtual QCoro::Task<int> setTextContents(Element element, QString text) = 0;
};

} // namespace vellamor::platform
