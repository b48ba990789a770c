#pragma once

#include "SettingsWindow/SettingsSection.h"
#include "SettingsWindow/SettingsWindow.h"
#include "Support/Async/Published.h"

#include <memory>
#include <optional>

namespace vellamor {

// Owns the settings window: built on the first show(), then kept and reused
// for the life of the process. Main thread only.
class SettingsWindowController {
public:
    using Dependencies = SettingsWindow::Dependencies;

    explicit SettingsWindowController(Dependencies dependencies);
    ~SettingsWindowController();

    // The section on show; starts at the first.
    Published<SettingsSection> selection{SettingsSection::general};

    // Selects `section` when given and brings the window to the front.
    void show(std::optional<SettingsSection> section);

    // None until the first show().
    SettingsWindow* window() const { return window_.get(); }

private:
    Dependencies dependencies_;
    std::unique_ptr<SettingsWindow> window_;
};

} // namespace vellamor
