#pragma once

#include "SettingsWindow/SettingsSection.h"
#include "SettingsWindow/SettingsWindow.h"
#include "Support/Async/Published.h"
#include "Windows/ClosedWindowRelease.h"

#include <memory>
#include <optional>

namespace vellamor {

// Owns the settings window: built on show(), kept while it is shown or was
// closed only a moment ago, released once it stays closed. The selection and
// the search query outlive it (its frame is in the user defaults). Main
// thread only.
class SettingsWindowController {
public:
    using Dependencies = SettingsWindow::Dependencies;

    explicit SettingsWindowController(Dependencies dependencies);
    ~SettingsWindowController();

    // The section on show; starts at the first.
    Published<SettingsSection> selection{SettingsSection::general};

    // Selects `section` when given and brings the window to the front.
    void show(std::optional<SettingsSection> section);

    // None until show(), and again once a closed window was released.
    SettingsWindow* window() const { return window_.get(); }

private:
    void releaseWindow();

    Dependencies dependencies_;
    KeptWindowState kept_;
    std::unique_ptr<SettingsWindow> window_;
    ClosedWindowRelease release_;
};

} // namespace vellamor
