#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"

#include <chrono>
#include <memory>

namespace vellamor::platform {

// The desktop's accessibility bus (AT-SPI), spoken over a D-Bus connection of
// its own. Every call is asynchronous and carries the call's time-out: a busy
// or stopped application answers late or not at all, and the caller's
// coroutine resumes with the answer or, after the time-out, with what a
// failed call answers; this thread never waits on another program.
//
// The connection is made in the background from construction on, and made
// again when the accessibility bus's launcher changes (the bus restarted) or
// the bus closed it. The focused element comes from focus events, followed
// from the connection on; when the element last reported is no longer focused,
// the newest one an earlier event of the same application named that still
// is, else the active windows of every other application are searched. A focused object that
// shows no text stands for the deepest focused object below it that holds
// editable text (LibreOffice Writer marks a panel focused above the
// paragraph with the caret), which is kept for the next question. When one of this
// process's own windows has the focus, the answer is a stand-in element that
// carries only this process's identifier: this process's own accessibility
// service is never asked anything.
class AtspiAccessibilityBus final : public AccessibilityBus {
public:
    // A call another application leaves unanswered for `callTimeout` fails;
    // the search for the focused element gives up after three times that.
    explicit AtspiAccessibilityBus(qint64 ownProcessId,
                                   std::chrono::milliseconds callTimeout = std::chrono::seconds(1));
    ~AtspiAccessibilityBus() override;

    AtspiAccessibilityBus(const AtspiAccessibilityBus&) = delete;
    AtspiAccessibilityBus& operator=(const AtspiAccessibilityBus&) = delete;

    // Connects first when there is no connection yet, or when the bus came
    // back after a restart; false when the accessibility bus could not be
    // reached: the focused element is none then. Asking for the focused
    // element does this itself.
    QCoro::Task<bool> connected();

    QCoro::Task<Element> focusedElement() override;
    std::optional<qint64> processId(const AccessibleElement& element) override;
    bool isSameElement(const AccessibleElement& first, const AccessibleElement& second) override;
    QCoro::Task<QString> toolkitName(Element element) override;
    QCoro::Task<bool> isEditableText(Element element) override;
    QCoro::Task<bool> isReadOnly(Element element) override;
    QCoro::Task<std::optional<QString>> text(Element element) override;
    QCoro::Task<std::optional<int>> characterCount(Element element) override;
    QCoro::Task<std::optional<int>> caretOffset(Element element) override;
    // The target of the element's flows-from or flows-to relation.
    QCoro::Task<Element> flowsFrom(Element element) override;
    QCoro::Task<Element> flowsTo(Element element) override;
    QCoro::Task<std::optional<AccessibleRange>> selection(Element element) override;
    QCoro::Task<bool> setCaretOffset(Element element, int offset) override;
    QCoro::Task<int> insertText(Element element, int offset, QString text, int length) override;
    QCoro::Task<int> deleteText(Element element, int start, int end) override;
    QCoro::Task<int> setTextContents(Element element, QString text) override;

private:
    class Connection;

    QCoro::Task<Element> related(Element element, uint relation);

    // Shared with the calls under way, which may outlive this object.
    std::shared_ptr<Connection> connection_;
};

} // namespace vellamor::platform
