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

QCoro::Task<FocusTarget> DefaultAccessibilityProbe::focusTarget()
{
    if (!isTrusted_ || !isTrusted_())
        co_return FocusTarget::none;
    if (preferKeyboardOverAX_ && preferKeyboardOverAX_())
        co_return FocusTarget::none;
    if (const auto element = co_await bus_->focusedElement()) {
        if (const auto pid = bus_->processId(*element); pid && *pid == ownProcessId_)
            co_return FocusTarget::none;
        co_return co_await bus_->isReadOnly(element) ? FocusTarget::readOnlyElement : FocusTarget::element;
    }
    // Many programs (terminals, browsers by default) show nothing on the
    // bus, yet take keys and pastes.
    const auto window = injector_ ? injector_->focusedWindow() : std::nullopt;
    if (!window || (window->processId && *window->processId == ownProcessId_))
        co_return FocusTarget::none;
    co_return FocusTarget::window;
}

QCoro::Task<std::optional<QString>> DefaultAccessibilityProbe::focusedText()
{
    const auto element = co_await bus_->focusedElement();
    if (!element)
        co_return std::nullopt;
    if ((co_await bus_->characterCount(element)).value_or(0) > accessibleTextLimit)
        co_return std::nullopt;
    co_return co_await bus_->text(element);
}

} // namespace vellamor
