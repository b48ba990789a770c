#pragma once

#include "Auth/AuthSession.h"
#include "DataSync/DataSyncAPIProtocol.h"
#include "Hotkey/HotkeyScheduler.h"
#include "I18n/LocaleResolver.h"
#include "InputSources/SourceCommandSessionProtocol.h"
#include "Networking/HTTPSession.h"
#include "Networking/WebSocketTransport.h"
#include "Overlay/OverlayTickerClock.h"
#include "Overlay/ScreenLayout.h"
#include "Platform/PlatformAdapters.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/Sleep.h"
#include "Windows/WindowServices.h"

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor {

// What the composition root is built from: the platform's adapters and the
// process-wide services, handed in explicitly so that nothing is reached
// through a global. The process entry fills it for the desktop; tests fill
// it with fakes. Members left empty take the stated default.
struct AppContainerDependencies {
    struct SessionLimits {
        std::chrono::nanoseconds soft = std::chrono::seconds(300);
        std::chrono::nanoseconds hard = std::chrono::seconds(360);
        // From the user's stop to the session's end.
        std::chrono::nanoseconds afterStop = std::chrono::seconds(60);
    };

    platform::PlatformAdapters platform;
    std::shared_ptr<UserDefaults> defaults;
    std::shared_ptr<AuthSession> auth;
    // Required: the interface language is set on it.
    LocaleResolver* locale = nullptr;
    // Where VELLAMOR_MOCK_ASR is read.
    QProcessEnvironment environment;
    // Asks the application to end (the menu's quit).
    std::function<void()> terminate;
    // None: a WebSocket session of its own.
    std::shared_ptr<WebSocketTransport> asrTransport;
    // None: Qt's screens and the system clock.
    std::shared_ptr<ScreenLayout> screens;
    std::shared_ptr<OverlayTickerClock> overlayClock;
    // None: the main loop's timers.
    std::unique_ptr<HotkeyScheduler> hotkeyScheduler;
    // None: the application support folder.
    std::optional<QString> historyBaseDirectory;
    // None: the process's HTTP session. The backend clients of the sync
    // engine and of the windows go over it.
    std::shared_ptr<HTTPSession> http;
    // None: the client of the API base URL over `http`.
    std::shared_ptr<DataSyncAPIProtocol> dataSync;
    // None: the phone commands' socket at the WebSocket base URL.
    std::shared_ptr<SourceCommandSessionProtocol> sourceCommands;
    // None: timers. How the session limits and the connected-phone badge
    // wait; false when cut short.
    SleepFunction sleep;
    SessionLimits limits;
    // Factories left empty build the real clients over `http`.
    WindowServices windowServices;
    QUrl helpURL = QUrl(QStringLiteral("https://vellamor.com/help"));
};

} // namespace vellamor
