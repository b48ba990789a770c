#include "TextInsertion/DefaultAccessibilityProbe.h"

namespace vellamor {

DefaultAccessibilityProbe::DefaultAccessibilityProbe(std::shared_ptr<platform::AccessibilityBus> bus,
                                                     std::shared_ptr<platform::KeyInjector> injector,
                                                     std::function<bool()> isTrusted,
                                                     std::function<bool()> preferKeyboardOverAX,
                                                     qint64 ownProcessId)
    : bus_(std::move(bus))
    , injector_(std::move(injector))
    , isTrusted_(std::move(isTrusted))
    , preferKeyboardOverAX_(std::move(preferKeyboardOverAX))
    , ownProcessId_(ownProcessId)
{
}

FocusTarget DefaultAccessibilityProbe::focusTarget()
{
    if (!isTrusted_ || !isTrusted_())
        return FocusTarget::none;
    if (preferKeyboardOverAX_ && preferKeyboardOverAX_())
        return FocusTarget::none;
    if (const auto element = bus_->focusedElement()) {
        if (const auto pid = bus_->processId(*element); pid && *pid == ownProcessId_)
            return FocusTarget::none;
        return bus_->isReadOnly(*element) ? FocusTarget::readOnlyElement : FocusTarget::element;
    }
    // Many programs (terminals, browsers by default) show nothing on the
    // bus, yet take keys and pastes.
    const auto window = injector_ ? injector_->focusedWindow() : std::nullopt;
    if (!window || (window->processId && *window->processId == ownProcessId_))
        return FocusTarget::none;
    return FocusTarget::window;
}

std::optional<QString> DefaultAccessibilityProbe::focusedText()
{
    const auto element = bus_->focusedElement();
    if (!element)
        return std::nullopt;
    if (bus_->characterCount(*element).value_or(0) > accessibleTextLimit)
        return std::nullopt;
    return bus_->text(*element);
}

} // namespace vellamor
