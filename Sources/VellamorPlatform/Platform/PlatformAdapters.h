#pragma once

#include "Auth/SecureItemStore.h"
#include "Platform/Accessibility/AccessibilityBus.h"
#include "Platform/AccessibilityStatus/AccessibilityStatus.h"
#include "Platform/ActiveWindow/ActiveWindowReader.h"
#include "Platform/Appearance/ColorSchemeSource.h"
#include "Platform/GlobalInput/GlobalInputMonitor.h"
#include "Platform/InputMonitoring/InputMonitoringProbe.h"
#include "Platform/KeyInjection/KeyInjector.h"
#include "Platform/KeySource/KeySource.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Platform/SoundServer/SoundServer.h"
#include "Platform/SystemSettings/CommandLauncher.h"
#include "Platform/Workspace/Workspace.h"

#include <memory>

namespace vellamor::platform {

// Every facility of the desktop the application uses, one object each for
// the process's life. Built in one place for the platform at hand; the
// composition root hands them to the features.
struct PlatformAdapters {
    std::unique_ptr<KeySource> keySource;
    std::shared_ptr<SoundServer> soundServer;
    std::shared_ptr<AccessibilityBus> accessibilityBus;
    std::shared_ptr<KeyInjector> keyInjector;
    std::shared_ptr<Pasteboard> pasteboard;
    std::shared_ptr<ActiveWindowReader> activeWindowReader;
    std::shared_ptr<AccessibilityStatus> accessibilityStatus;
    std::shared_ptr<InputMonitoringProbe> inputMonitoring;
    std::shared_ptr<CommandLauncher> commandLauncher;
    std::shared_ptr<GlobalInputMonitor> globalInput;
    std::shared_ptr<SecureItemStore> keyringItems;
    // None: the desktop states no light or dark preference.
    std::shared_ptr<ColorSchemeSource> colorScheme;
    std::shared_ptr<Workspace> workspace;
};

} // namespace vellamor::platform
