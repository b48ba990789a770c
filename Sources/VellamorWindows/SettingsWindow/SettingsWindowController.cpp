#include "SettingsWindow/SettingsWindowController.h"

#include <QLineEdit>

namespace vellamor {

SettingsWindowController::SettingsWindowController(Dependencies dependencies)
    : dependencies_(std::move(dependencies))
    , release_(dependencies_.sleep, [this] { releaseWindow(); })
{
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::show(std::optional<SettingsSection> section)
{
    if (section)
        selection = *section;
    if (!window_) {
        window_ = std::make_unique<SettingsWindow>(dependencies_, selection);
        if (!kept_.query.isEmpty()) {
            // The query would move the selection to its first hit; the kept one holds.
            const SettingsSection shown = selection.value();
            window_->searchField().setText(kept_.query);
            selection = shown;
        }
        release_.watch(window_.get());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void SettingsWindowController::releaseWindow()
{
    kept_.query = window_->searchField().text();
    window_.reset();
}

} // namespace vellamor
