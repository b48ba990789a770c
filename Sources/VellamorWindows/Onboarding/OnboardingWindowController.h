#pragma once

#include "Auth/AuthSessionObserver.h"
#include "Logging/VellamorLog.h"
#include "Onboarding/OnboardingViewModel.h"
#include "Onboarding/OnboardingWindow.h"
#include "Permissions/PermissionChecker.h"
#include "Support/Async/Published.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace vellamor {

class AuthSheetPresenter;

// Opens, focuses and closes the first-run guide and reports back: every
// arrival at the first-dictation step, and the end of the guide however it
// is closed (at most once per show). Main thread only.
class OnboardingWindowController : public QObject {
    Q_OBJECT

public:
    struct Dependencies {
        std::shared_ptr<const PermissionChecker> checker;
        std::shared_ptr<AuthSessionObserver> auth;
        // Outlives the controller.
        AuthSheetPresenter* signInSheet = nullptr;
        // How the texts name the dictation hotkey.
        QString hotkeyName;
    };

    explicit OnboardingWindowController(Dependencies dependencies, QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    // Opens the window at the welcome step, or brings the open one forward;
    // the given callbacks replace the stored ones either way.
    void show(std::function<void()> onFinish, std::function<void()> onReachedFirstRun);
    // A dictation has just completed.
    void markRecordingSuccess();
    // Closes the window, forgets it, then runs onFinish once.
    void close();

    // Present while the window is open.
    OnboardingWindow* window() const { return window_; }
    OnboardingViewModel* viewModel() const { return viewModel_; }

private:
    Dependencies dependencies_;
    VellamorLog log_;
    QPointer<OnboardingWindow> window_;
    QPointer<OnboardingViewModel> viewModel_;
    Subscription stepObservation_;
    std::function<void()> onFinish_;
    std::function<void()> onReachedFirstRun_;
};

} // namespace vellamor
