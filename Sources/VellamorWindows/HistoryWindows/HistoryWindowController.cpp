#include "HistoryWindows/HistoryWindowController.h"

#include "HistoryWindows/HistoryPanel.h"
#include "HistoryWindows/HistoryView.h"
#include "HistoryWindows/HistoryViewModel.h"

namespace vellamor {

HistoryWindowController::HistoryWindowController(Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
    , release_(services_.sleep, [this] { drop(); })
{
}

HistoryWindowController::~HistoryWindowController()
{
    removeMonitors();
}

void HistoryWindowController::configure(std::shared_ptr<LocalHistoryStore> store,
                                        std::shared_ptr<HistoryChangeBroadcaster> broadcaster,
                                        HistorySyncEngine* syncEngine)
{
    const std::shared_ptr<LocalHistoryStore> previous = std::exchange(store_, std::move(store));
    broadcaster_ = std::move(broadcaster);
    syncEngine_ = syncEngine;
    if (previous && previous == store_)
        return;
    drop();
}

void HistoryWindowController::drop()
{
    if (panel_)
        panel_->hide();
    panel_.reset();
    viewModel_.reset();
    removeMonitors();
}

HistoryViewModel& HistoryWindowController::ensureViewModel()
{
    if (!viewModel_) {
        viewModel_ = std::make_unique<HistoryViewModel>(HistoryViewModel::Dependencies{
            .store = store_,
            .broadcaster = broadcaster_,
            .layered = services_.layered,
            .auth = services_.auth,
            .isAccessibilityTrusted = services_.isAccessibilityTrusted,
            .sync = syncEngine_ ? syncEngine_->publisher() : nullptr,
            .sleep = services_.sleep,
        });
    }
    return *viewModel_;
}

void HistoryWindowController::show()
{
    // The container configures before anything can show the panel.
    if (!store_)
        return;
    HistoryViewModel& model = ensureViewModel();
    if (panel_) {
        panel_->orderFront();
        installOutsideClickMonitor();
        installEscapeMonitor();
        model.refresh();
        return;
    }
    panel_ = std::make_unique<HistoryPanel>(model);
    release_.watch(panel_.get());
    QPointer<HistoryWindowController> weak(this);
    panel_->view().onClose = [weak] {
        if (weak)
            weak->close();
    };
    panel_->view().presentSignIn = [weak](std::function<void()> dismissed) {
        if (weak && weak->presentSignIn)
            weak->presentSignIn(std::move(dismissed));
    };
    panel_->orderFront();
    model.refresh();
    installOutsideClickMonitor();
    installEscapeMonitor();
}

void HistoryWindowController::close()
{
    if (panel_)
        panel_->hide();
    removeMonitors();
    if (viewModel_)
        viewModel_->resetSessionInsertState();
}

void HistoryWindowController::installOutsideClickMonitor()
{
    if (outsideClickMonitor_ || !services_.globalInput)
        return;
    QPointer<HistoryWindowController> weak(this);
    outsideClickMonitor_ = services_.globalInput->addPointerPressMonitor([weak](QPoint position) {
        if (!weak)
            return;
        // Raw presses include those on the panel itself: a click on a row
        // must not close it.
        if (weak->panel_ && weak->panel_->frameGeometry().contains(position))
            return;
        weak->close();
    });
}

void HistoryWindowController::installEscapeMonitor()
{
    if (escapeMonitor_ || !services_.globalInput)
        return;
    QPointer<HistoryWindowController> weak(this);
    escapeMonitor_ = services_.globalInput->addKeyPressMonitor([weak](platform::VirtualKeyCode key) {
        if (weak && key == platform::virtualKey::escape)
            weak->close();
    });
}

void HistoryWindowController::removeMonitors()
{
    for (std::optional<platform::GlobalInputMonitor::Token>* token : {&outsideClickMonitor_, &escapeMonitor_}) {
        if (*token && services_.globalInput)
            services_.globalInput->removeMonitor(**token);
        token->reset();
    }
}

} // namespace vellamor
