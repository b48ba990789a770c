#pragma once

#include "Settings/SettingsStore.h"
#include "SettingsWindow/SettingsSection.h"
#include "Support/Async/Published.h"
#include "Windows/PlaceholderWindow.h"

#include <memory>
#include <optional>

namespace vellamor {

// The settings window. Until its pages exist it is a placeholder that
// names the page asked for. Main thread only.
class SettingsWindowController {
public:
    explicit SettingsWindowController(std::shared_ptr<SettingsStore> store);

    // The page on show; starts at the first.
    Published<SettingsSection> selection{SettingsSection::general};

    // Opens the window on `section`, or on the page last shown.
    void show(std::optional<SettingsSection> section);

    PlaceholderWindow& window() { return window_; }

private:
    std::shared_ptr<SettingsStore> store_;
    PlaceholderWindow window_;
};

} // namespace vellamor
