#pragma once

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
// GTK: code points); callers convert. Calls into another application block
// until it answers (or the bus gives up). Main thread only.
//
// An implementation never calls into this process's own accessibility
// service: on a single thread such a call cannot be answered.
class AccessibilityBus {
public:
    virtual ~AccessibilityBus() = default;

    // The object that has the keyboard focus in the active window, this
    // process's included; none when no application reports one.
    virtual std::shared_ptr<AccessibleElement> focusedElement() = 0;

    // None when the bus cannot tell.
    virtual std::optional<qint64> processId(const AccessibleElement& element) = 0;

    // Whether both stand for the same object of the same application (the
    // bus may hand out a new element for each question).
    virtual bool isSameElement(const AccessibleElement& first, const AccessibleElement& second) = 0;

    // As the application reports it ("Qt", "GAIL", "GTK", ...); empty when unknown.
    virtual QString toolkitName(const AccessibleElement& element) = 0;

    // Whether the element's text can be edited through the bus.
    virtual bool isEditableText(const AccessibleElement& element) = 0;

    // Whether the element says it takes no text: it is read-only, or it is
    // a text field that offers editing and says it is not editable. One that
    // says neither (a terminal showing its screen as text, a document, a
    // field that shows no editing interface) may still take keys or a paste.
    virtual bool isReadOnly(const AccessibleElement& element) = 0;

    // The whole text; none when it cannot be read.
    virtual std::optional<QString> text(const AccessibleElement& element) = 0;

    // The length of the text in the element's own offsets; none when unknown.
    virtual std::optional<int> characterCount(const AccessibleElement& element) = 0;

    // None when unknown or unreadable.
    virtual std::optional<int> caretOffset(const AccessibleElement& element) = 0;

    // The first selected run; none when nothing is selected or it cannot be read.
    virtual std::optional<AccessibleRange> selection(const AccessibleElement& element) = 0;

    // The answer of a write that got no answer in time (or whose call failed
    // on the way): the target may still apply it.
    static constexpr int unanswered = -2;

    // These answer 0 on success, `unanswered`, or another non-zero code when
    // the target refused. `length` is in the unit the toolkit expects for insertions.
    virtual int insertText(const AccessibleElement& element, int offset, const QString& text, int length) = 0;
    virtual int deleteText(const AccessibleElement& element, int start, int end) = 0;
    virtual int setTextContents(const AccessibleElement& element, const QString& text) = 0;
};

} // namespace vellamor::platform
