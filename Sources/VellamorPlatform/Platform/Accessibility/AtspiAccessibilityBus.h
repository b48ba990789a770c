#pragma once

#include "Platform/Accessibility/AccessibilityBus.h"

#include <chrono>
#include <memory>

namespace vellamor::platform {

// The accessibility bus through libatspi, on the main thread (libatspi's
// connection is served by the GLib main context, which Qt's event loop runs).
// The focused element comes from focus events, kept from construction on;
// when the element last reported is no longer focused, the active windows of
// every other application are searched. When one of this process's own
// windows has the focus, the answer is a stand-in element that carries only
// this process's identifier: asking the bus about it would mean calling
// ourselves and waiting for an answer that this thread cannot give.
class AtspiAccessibilityBus final : public AccessibilityBus {
public:
    // A call another application leaves unanswered for `callTimeout` fails
    // (after it has run three times that long: it may block while it starts).
    // libatspi has one time-out for the whole process.
    explicit AtspiAccessibilityBus(qint64 ownProcessId,
                                   std::chrono::milliseconds callTimeout = std::chrono::seconds(1));
    ~AtspiAccessibilityBus() override;

    AtspiAccessibilityBus(const AtspiAccessibilityBus&) = delete;
    AtspiAccessibilityBus& operator=(const AtspiAccessibilityBus&) = delete;

    // False when libatspi could not reach the bus; every query answers nothing then.
    bool isConnected() const;

    std::shared_ptr<AccessibleElement> focusedElement() override;
    std::optional<qint64> processId(const AccessibleElement& element) override;
    bool isSameElement(const AccessibleElement& first, const AccessibleElement& second) override;
    QString toolkitName(const AccessibleElement& element) override;
    bool isEditableText(const AccessibleElement& element) override;
    bool isReadOnly(const AccessibleElement& element) override;
    std::optional<QString> text(const AccessibleElement& element) override;
    std::optional<int> characterCount(const AccessibleElement& element) override;
    std::optional<int> caretOffset(const AccessibleElement& element) override;
    std::optional<AccessibleRange> selection(const AccessibleElement& element) override;
    int insertText(const AccessibleElement& element, int offset, const QString& text, int length) override;
    int deleteText(const AccessibleElement& element, int start, int end) override;
    int setTextContents(const AccessibleElement& element, const QString& text) override;

private:
    struct State;

    std::unique_ptr<State> state_;
};

} // namespace vellamor::platform
