#pragma once

#include "Auth/AuthSessionObserver.h"
#include "History/HistoryChangeBroadcaster.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "Platform/GlobalInput/GlobalInputMonitor.h"
#include "Support/Async/Sleep.h"
#include "TextInsertion/LayeredInserter.h"
#include "Windows/ClosedWindowRelease.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

class HistoryPanel;
class HistoryViewModel;

// Owns the one history panel and its view model. The panel never has the
// focus, so it closes on Escape or a press outside it through global
// monitors, installed only while it is open. Every close hides the panel,
// removes the monitors and ends the insertion session; a switch to another
// store, or the panel staying closed for a while, drops panel and view
// model, and the next show builds them afresh. Main thread only.
class HistoryWindowController final : public QObject {
    Q_OBJECT

public:
    struct Services {
        // A copy of the application's inserter: it carries the hotkey's
        // guard against the keys it types.
        LayeredInserter layered;
        // Whether accessibility access is granted, asked at every refresh.
        std::function<bool()> isAccessibilityTrusted;
        std::shared_ptr<AuthSessionObserver> auth;
        // None: the panel closes only through its close button.
        std::shared_ptr<platform::GlobalInputMonitor> globalInput;
        // None: timers. How the insertion feedback waits.
        SleepFunction sleep;
    };

    explicit HistoryWindowController(Services services, QObject* parent = nullptr);
    ~HistoryWindowController() override;

    // At start and after every switch of store. The same store again
    // changes nothing; another one drops the panel and its view model.
    void configure(std::shared_ptr<LocalHistoryStore> store, std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                   HistorySyncEngine* syncEngine);
    // Shows the panel in front without taking the focus, installs the
    // monitors and reloads. Nothing before the first configure().
    void show();
    // Hides the panel, removes the monitors and ends the insertion session.
    void close();

    const std::shared_ptr<LocalHistoryStore>& store() const { return store_; }
    HistorySyncEngine* syncEngine() const { return syncEngine_.data(); }
    // Present from the first show after a configure() with another store,
    // until the closed panel is released.
    HistoryPanel* panel() const { return panel_.get(); }
    HistoryViewModel* viewModel() const { return viewModel_.get(); }

    // Filled once the sign-in sheet exists: presents it and calls
    // `dismissed` when it goes. Unset: the panel offers no sign-in.
    std::function<void(std::function<void()> dismissed)> presentSignIn;

private:
    HistoryViewModel& ensureViewModel();
    void installOutsideClickMonitor();
    void installEscapeMonitor();
    void removeMonitors();
    void drop();

    Services services_;
    std::shared_ptr<LocalHistoryStore> store_;
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster_;
    QPointer<HistorySyncEngine> syncEngine_;
    // The panel is declared last so that it goes before the model it shows.
    std::unique_ptr<HistoryViewModel> viewModel_;
    std::unique_ptr<HistoryPanel> panel_;
    std::optional<platform::GlobalInputMonitor::Token> outsideClickMonitor_;
    std::optional<platform::GlobalInputMonitor::Token> escapeMonitor_;
    ClosedWindowRelease release_;
};

} // namespace vellamor
