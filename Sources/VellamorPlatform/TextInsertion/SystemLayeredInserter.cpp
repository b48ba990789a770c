#include "TextInsertion/SystemLayeredInserter.h"

#include "TextInsertion/DefaultAccessibilityProbe.h"
#include "TextInsertion/Inserters/AccessibilityInserter.h"
#include "TextInsertion/Inserters/ClipboardInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/InsertionPreferences.h"

#include <QCoreApplication>

namespace vellamor {

LayeredInserter SystemLayeredInserter::make(std::shared_ptr<platform::AccessibilityBus> bus,
                                            std::shared_ptr<platform::KeyInjector> injector,
                                            std::shared_ptr<platform::Pasteboard> pasteboard,
                                            std::function<bool()> isTrusted,
                                            SyntheticInputGuard::Notify ignoreSynthetic,
                                            std::shared_ptr<UserDefaults> defaults)
{
    const qint64 ownPid = QCoreApplication::applicationPid();
    const auto preferKeyboard = InsertionPreferences::preferKeyboardOverAX(std::move(defaults));
    auto clipboard = std::make_shared<ClipboardInserter>(pasteboard, injector, ignoreSynthetic);
    return LayeredInserter(std::make_shared<AccessibilityInserter>(bus, isTrusted, preferKeyboard, ownPid),
                           std::make_shared<KeystrokeInserter>(injector, ignoreSynthetic), std::move(clipboard),
                           std::make_shared<DefaultAccessibilityProbe>(bus, injector, isTrusted, preferKeyboard, ownPid),
                           pasteboard);
}

std::function<bool()> SystemLayeredInserter::accessibilityTrust(std::shared_ptr<const PermissionChecker> permissions)
{
    return [permissions = std::move(permissions)] {
        return permissions && permissions->accessibility().status == VellamorPermissionStatus::granted;
    };
}

} // namespace vellamor
