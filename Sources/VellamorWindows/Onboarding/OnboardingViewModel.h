#pragma once

#include "Auth/AuthSessionObserver.h"
#include "Onboarding/OnboardingStep.h"
#include "Permissions/PermissionChecker.h"
#include "Support/Async/Published.h"

#include <QObject>

#include <memory>

namespace vellamor {

// The state of the first-run guide: the step, the permissions as last read
// and whether a dictation has completed; decides which step comes next and
// what the footer offers. A permission missing from `statuses` counts as not
// granted. Main thread only.
class OnboardingViewModel : public QObject {
    Q_OBJECT

public:
    // Reads the permissions once at once.
    OnboardingViewModel(std::shared_ptr<const PermissionChecker> checker, std::shared_ptr<AuthSessionObserver> auth,
                        QObject* parent = nullptr);

    Published<OnboardingStep> step{OnboardingStep::welcome};
    Published<PermissionStatuses> statuses;
    Published<bool> hasTriedRecording{false};
    // What the current permission step has to tell after its action ran:
    // the system's answer and, without a settings program, where to look.
    Published<QString> notice;

    // To the next step that still needs the user: granted permissions are
    // passed over, and so is the account once signed in.
    void next();
    // Mirrors next().
    void back();

    // Starts a fresh read of the permissions unless the last one still runs.
    void refreshStatuses();
    // The permission step's button: asks for the permission where the system
    // can, opens the desktop's settings where that helps, and reads again.
    void requestPermission(VellamorPermission permission);

    bool isGranted(VellamorPermission permission) const;
    bool isSignedIn() const;
    const PermissionChecker& checker() const { return *checker_; }
    AuthSessionObserver& auth() const { return *auth_; }

    // The footer.
    bool canGoBack() const;
    bool canContinue() const;
    QString nextButtonTitle() const;

private:
    // Reads the permissions; the answer is shown unless a newer one was
    // shown first.
    QCoro::Task<void> readStatuses();
    QCoro::Task<void> runRequest(VellamorPermission permission);
    void moveTo(OnboardingStep candidate);

    std::shared_ptr<const PermissionChecker> checker_;
    std::shared_ptr<AuthSessionObserver> auth_;
    bool pollRunning_ = false;
    quint64 readsStarted_ = 0;
    quint64 readShown_ = 0;
};

} // namespace vellamor
