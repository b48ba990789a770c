#include "Platform/LinuxPlatformFactory.h"

#include "Auth/QtKeychainItemStore.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"
#include "Platform/ActiveWindow/X11ActiveWindowReader.h"
#include "Platform/Appearance/PortalColorSchemeSource.h"
#include "Platform/GlobalInput/X11GlobalInputMonitor.h"
#include "Platform/InputMonitoring/X11InputMonitoringProbe.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/KeySource/X11KeySource.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Platform/SystemSettings/ProcessCommandLauncher.h"
#include "Platform/Workspace/DesktopWorkspace.h"

#include <QCoreApplication>

namespace vellamor::platform {

PlatformAdapters LinuxPlatformFactory::make()
{
    PlatformAdapters adapters;
    adapters.keySource = std::make_unique<X11KeySource>();
    adapters.soundServer = std::make_shared<PulseSoundServer>();
    adapters.accessibilityBus = std::make_shared<AtspiAccessibilityBus>(QCoreApplication::applicationPid());
    adapters.keyInjector = std::make_shared<XTestKeyInjector>();
    auto pasteboard = std::make_shared<X11SelectionBroker>();
    // What this process serves on the clipboard would vanish with it.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [weak = std::weak_ptr(pasteboard)] {
            if (const auto broker = weak.lock())
                broker->handOver();
        });
    }
    adapters.pasteboard = std::move(pasteboard);
    adapters.activeWindowReader = std::make_shared<X11ActiveWindowReader>();
    adapters.accessibilityStatus = std::make_shared<DBusAccessibilityStatus>();
    adapters.inputMonitoring = std::make_shared<X11InputMonitoringProbe>();
    adapters.commandLauncher = std::make_shared<ProcessCommandLauncher>();
    adapters.globalInput = std::make_shared<X11GlobalInputMonitor>();
    adapters.keyringItems = std::make_shared<QtKeychainItemStore>();
    adapters.colorScheme = std::make_shared<PortalColorSchemeSource>();
    adapters.workspace = std::make_shared<DesktopWorkspace>();
    return adapters;
}

} // namespace vellamor::platform
