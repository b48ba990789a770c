#include "TextInsertion/SystemLayeredInserter.h"

#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/QtPasteboard.h"
#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/InsertionPreferences.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include <QCoreApplication>

namespace vellamor {

LayeredInserter SystemLayeredInserter::make(std::function<bool()> isTrusted,
                                            SyntheticInputGuard::Notify ignoreSynthetic,
                                            std::shared_ptr<UserDefaults> defaults)
{
    const qint64 ownPid = QCoreApplication::applicationPid();
    const auto preferKeyboard = InsertionPreferences::preferKeyboardOverAX(std::move(defaults));
    auto bus = std::make_shared<platform::AtspiAccessibilityBus>(ownPid);
    auto injector = std::make_shared<platform::XTestKeyInjector>();
    auto pasteboard = std::make_shared<platform::QtPasteboard>();
    return LayeredInserter(std::make_shared<AccessibilityInserter>(bus, isTrusted, preferKeyboard, ownPid),
                           std::make_shared<KeystrokeInserter>(injector, ignoreSynthetic),
                           std::make_shared<ClipboardInserter>(pasteboard, injector, ignoreSynthetic),
                           std::make_shared<DefaultAccessibilityProbe>(bus, isTrusted, preferKeyboard, ownPid),
                           pasteboard);
}

LayeredInserter SystemLayeredInserter::make(std::shared_ptr<const PermissionChecker> permissions,
                                            SyntheticInputGuard::Notify ignoreSynthetic,
                                            std::shared_ptr<UserDefaults> defaults)
{
    return make(accessibilityTrust(std::move(permissions)), std::move(ignoreSynthetic), std::move(defaults));
}

std::function<bool()> SystemLayeredInserter::accessibilityTrust(std::shared_ptr<const PermissionChecker> permissions)
{
    return [permissions = std::move(permissions)] {
        return permissions && permissions->accessibility().status == VellamorPermissionStatus::granted;
    };
}

} // namespace vellamor
