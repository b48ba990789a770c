#pragma once

#include "Onboarding/OnboardingViewModel.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <functional>

class QHBoxLayout;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace vellamor {

class OnboardingStepDots;
class ThemedLabel;

// The guide's window: a header with the progress, the page of the current
// step and a footer with the way back and the way on. Reads the permissions
// again every second while it exists. Closing it by the close box only
// reports it. Main thread only.
class OnboardingWindow final : public QWidget {
    Q_OBJECT

public:
    struct Callbacks {
        // "稍后再说" and "开始使用".
        std::function<void()> close;
        // The close box, after the window has hidden.
        std::function<void()> closedByUser;
        // Opens the sign-in sheet over the given widget's window.
        std::function<void(QWidget*)> signIn;
    };

    OnboardingWindow(OnboardingViewModel& vm, const QString& hotkeyName, Callbacks callbacks,
                     QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    // Shows the window in front.
    void present();

    QWidget* page() const { return page_; }
    // "稍后再说" or "上一步"; hidden on the last step.
    QPushButton& leftButton() const { return *left_; }
    QPushButton& primaryButton() const { return *primary_; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QHBoxLayout* makeHeader();
    // The buttons wired to the steps.
    QHBoxLayout* makeFooter();
    void showStep(OnboardingStep step);
    void refreshFooter();
    // The footer's buttons in the palette's colours, light or dark.
    void applyButtonInk();
    QWidget* makePage(OnboardingStep step);
    static void fadeIn(QWidget& page);

    OnboardingViewModel& vm_;
    QString hotkeyName_;
    Callbacks callbacks_;
    OnboardingStepDots* dots_;
    ThemedLabel* progress_;
    QVBoxLayout* pageArea_;
    QWidget* page_ = nullptr;
    OnboardingStep shownStep_ = OnboardingStep::welcome;
    QPushButton* left_;
    QPushButton* primary_;
    QTimer* poll_;
    Subscription step_;
    Subscription statuses_;
    Subscription tried_;
    Subscription auth_;
};

} // namespace vellamor
