#include "SettingsWindow/SettingsWindowController.h"

namespace vellamor {

SettingsWindowController::SettingsWindowController(Dependencies dependencies)
    : dependencies_(std::move(dependencies))
{
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::show(std::optional<SettingsSection> section)
{
    if (section)
        selection = *section;
    if (!window_)
        window_ = std::make_unique<SettingsWindow>(dependencies_, selection);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace vellamor
