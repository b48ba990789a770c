#pragma once

#include "Onboarding/OnboardingViewModel.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <optional>

class QPushButton;
class QVBoxLayout;

namespace vellamor {

class ThemedLabel;

// One permission step: what the permission gives and what is lost without
// it, its live status, and the button that asks for it.
class OnboardingPermissionStepPage final : public QWidget {
    Q_OBJECT

public:
    OnboardingPermissionStepPage(VellamorPermission permission, OnboardingViewModel& vm, const QString& hotkeyName,
                                 QWidget* parent = nullptr);

    QPushButton& actionButton() const { return *action_; }

    static QString actionTitle(VellamorPermissionStatus status);

private:
    void showStatus(VellamorPermissionStatus status);

    VellamorPermission permission_;
    std::optional<VellamorPermissionStatus> shown_;
    QWidget* statusColumn_;
    QVBoxLayout* statusLayout_;
    QPushButton* action_;
    ThemedLabel* notice_;
    Subscription statuses_;
    Subscription notices_;
};

} // namespace vellamor
