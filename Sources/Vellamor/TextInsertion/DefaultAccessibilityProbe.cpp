#include "TextInsertion/DefaultAccessibilityProbe.h"

namespace vellamor {

DefaultAccessibilityProbe::DefaultAccessibilityProbe(std::shared_ptr<platform::AccessibilityBus> bus,
                                                     std::function<bool()> isTrusted,
                                                     std::function<bool()> preferKeyboardOverAX,
                                                     qint64 ownProcessId)
    : bus_(std::move(bus))
    , isTrusted_(std::move(isTrusted))
    , preferKeyboardOverAX_(std::move(preferKeyboardOverAX))
    , ownProcessId_(ownProcessId)
{
}

bool DefaultAccessibilityProbe::isTrustedAndHasFocus()
{
    if (!isTrusted_ || !isTrusted_())
        return false;
    if (preferKeyboardOverAX_ && preferKeyboardOverAX_())
        return false;
    const auto element = bus_->focusedElement();
    if (!element)
        return false;
    const auto pid = bus_->processId(*element);
    return !pid || *pid != ownProcessId_;
}

} // namespace vellamor
