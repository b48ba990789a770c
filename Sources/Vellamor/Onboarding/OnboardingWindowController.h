#pragma once

#include "Permissions/PermissionChecker.h"
#include "Windows/PlaceholderWindow.h"

#include <QPushButton>

#include <functional>
#include <memory>

namespace vellamor {

// The first-run guide. Until its steps exist it is one window at the
// first-dictation step: shown, it reports that step on the next turn, and
// its button finishes the guide. Main thread only.
class OnboardingWindowController {
public:
    explicit OnboardingWindowController(std::shared_ptr<const PermissionChecker> permissions);

    void show(std::function<void()> onFinish, std::function<void()> onReachedFirstRun);
    // A dictation completed while the guide was open.
    void markRecordingSuccess();

    int recordingSuccessCount() const { return recordingSuccesses_; }
    PlaceholderWindow& window() { return window_; }
    QPushButton& finishButton() { return *finishButton_; }

private:
    std::shared_ptr<const PermissionChecker> permissions_;
    PlaceholderWindow window_;
    QPushButton* finishButton_;
    std::function<void()> onFinish_;
    int recordingSuccesses_ = 0;
};

} // namespace vellamor
