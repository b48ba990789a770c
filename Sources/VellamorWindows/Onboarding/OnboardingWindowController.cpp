#include "Onboarding/OnboardingWindowController.h"

#include "AccountWindows/AuthSheet.h"
#include "AccountWindows/AuthSheetPresenter.h"
#include "Support/Async/MainThread.h"
#include "Windows/FreedMemory.h"

#include <QGuiApplication>
#include <QScreen>

namespace vellamor {

OnboardingWindowController::OnboardingWindowController(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , dependencies_(std::move(dependencies))
    , log_(QStringLiteral("com.vellamor.app"), QStringLiteral("onboarding"))
{
}

OnboardingWindowController::~OnboardingWindowController()
{
    stepObservation_.cancel();
    delete window_.data();
    delete viewModel_.data();
}

void OnboardingWindowController::show(std::function<void()> onFinish, std::function<void()> onReachedFirstRun)
{
    onFinish_ = std::move(onFinish);
    onReachedFirstRun_ = std::move(onReachedFirstRun);
    if (window_) {
        window_->present();
        return;
    }
    viewModel_ = new OnboardingViewModel(dependencies_.checker, dependencies_.auth);
    QPointer<OnboardingWindowController> weak(this);
    stepObservation_ = viewModel_->step.subscribeQueued(this, [weak](OnboardingStep step) {
        if (!weak)
            return;
        weak->log_.info(QStringLiteral("onboarding step=") + debugName(step));
        if (step == OnboardingStep::firstRun && weak->onReachedFirstRun_)
            weak->onReachedFirstRun_();
    });
    AuthSheetPresenter* sheet = dependencies_.signInSheet;
    OnboardingWindow::Callbacks callbacks;
    callbacks.close = [weak] {
        if (weak)
            weak->close();
    };
    // The close box: the guide ends on the next turn, after the window has gone.
    callbacks.closedByUser = [weak] {
        postTo(weak.data(), [weak] {
            if (weak)
                weak->close();
        });
    };
    callbacks.signIn = [sheet](QWidget* over) {
        if (sheet)
            sheet->present(over);
    };
    window_ = new OnboardingWindow(*viewModel_, dependencies_.hotkeyName, std::move(callbacks));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), window_->size());
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    window_->present();
}

void OnboardingWindowController::markRecordingSuccess()
{
    if (!viewModel_)
        return;
    viewModel_->hasTriedRecording = true;
    if (viewModel_->step.value() == OnboardingStep::firstRun)
        viewModel_->step = OnboardingStep::success;
}

void OnboardingWindowController::close()
{
    // The window may be closing from inside one of its own buttons.
    const bool closesWindow = window_;
    if (window_) {
        window_->hide();
        window_->deleteLater();
        window_.clear();
    }
    if (viewModel_) {
        viewModel_->deleteLater();
        viewModel_.clear();
    }
    // Unlike the other windows the guide is not kept for a reopening: what
    // it drew with goes back as soon as it is deleted.
    if (closesWindow)
        postTo(this, [] { returnFreedMemory(); });
    stepObservation_.cancel();
    onReachedFirstRun_ = nullptr;
    if (const std::function<void()> finish = std::exchange(onFinish_, nullptr)) {
        log_.info(QStringLiteral("onboarding closed"));
        finish();
    }
}

} // namespace vellamor
