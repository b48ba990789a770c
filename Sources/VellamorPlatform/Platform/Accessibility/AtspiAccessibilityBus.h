#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"

#include <chrono>
#include <functional>
#include <memory>

namespace vellamor::platform {

class AtspiWorker;

// The accessibility bus through libatspi, whose every call runs on the
// process's AtspiWorker thread; the caller's coroutine resumes with the
// answer, or with none once the call's time-out has passed (the queue to the
// worker included). The focused element comes from focus
// events, kept from construction on; when the element last reported is no
// longer focused, the active windows of every other application are
// searched. When one of this process's own windows has the focus, the answer
// is a stand-in element that carries only this process's identifier: asking
// the bus about it would mean calling ourselves and waiting for an answer
// that this thread cannot give.
class AtspiAccessibilityBus final : public AccessibilityBus {
public:
    // A call another application leaves unanswered for `callTimeout` fails
    // (the desktop search after three times that long). libatspi, whose one
    // time-out for the whole process is set here, waits ten times as long.
    explicit AtspiAccessibilityBus(qint64 ownProcessId,
                                   std::chrono::milliseconds callTimeout = std::chrono::seconds(1));
    ~AtspiAccessibilityBus() override;

    AtspiAccessibilityBus(const AtspiAccessibilityBus&) = delete;
    AtspiAccessibilityBus& operator=(const AtspiAccessibilityBus&) = delete;

    // False when libatspi could not reach the bus; every query answers nothing then.
    bool isConnected() const;

    QCoro::Task<Element> focusedElement() override;
    std::optional<qint64> processId(const AccessibleElement& element) override;
    bool isSameElement(const AccessibleElement& first, const AccessibleElement& second) override;
    QCoro::Task<QString> toolkitName(Element element) override;
    QCoro::Task<bool> isEditableText(Element element) override;
    QCoro::Task<bool> isReadOnly(Element element) override;
    QCoro::Task<std::optional<QString>> text(Element element) override;
    QCoro::Task<std::optional<int>> characterCount(Element element) override;
    QCoro::Task<std::optional<int>> caretOffset(Element element) override;
    QCoro::Task<std::optional<AccessibleRange>> selection(Element element) override;
    QCoro::Task<bool> setCaretOffset(Element element, int offset) override;
    QCoro::Task<int> insertText(Element element, int offset, QString text, int length) override;
    QCoro::Task<int> deleteText(Element element, int start, int end) override;
    QCoro::Task<int> setTextContents(Element element, QString text) override;

private:
    struct Focus;

    // `job`'s answer, or `fallback` when none came within `limit`.
    template<typename T>
    QCoro::Task<T> call(std::function<T()> job, T fallback, std::chrono::milliseconds limit) const;

    std::shared_ptr<AtspiWorker> worker_;
    qint64 ownProcessId_;
    std::chrono::milliseconds answerLimit_;
    // Made, used and dropped by jobs on the worker.
    std::shared_ptr<std::unique_ptr<Focus>> focus_;
};

} // namespace vellamor::platform
